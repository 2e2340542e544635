#include "app/app_shell.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace ostrel {
namespace {

QMessageBox::Icon BoxIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::Error:
            return QMessageBox::Critical;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void DesktopShell::Inform(QWidget* parent, MessageIcon icon, const QString& text) {
    QMessageBox box(BoxIcon(icon), kApplicationTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

bool DesktopShell::AskYesNo(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, kApplicationTitle, text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    return box.exec() == QMessageBox::Yes;
}

QString DesktopShell::ChooseFolder(QWidget* parent, const QString& folder) {
    return QFileDialog::getExistingDirectory(parent, QString(), folder);
}

QStringList DesktopShell::ChooseFiles(QWidget* parent, const QString& folder,
                                      const QStringList& nameFilters) {
    QFileDialog dialog(parent, QString(), folder);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The labels already say which extensions they cover.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setNameFilters(nameFilters);
    if (!nameFilters.isEmpty()) {
        dialog.selectNameFilter(nameFilters.first());
    }
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    return dialog.selectedFiles();
}

void DesktopShell::OpenUrl(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

void DesktopShell::RunModal(QDialog& dialog) {
    dialog.exec();
}

void DesktopShell::EndProcess() {
    QCoreApplication::exit(0);
}

}  // namespace ostrel
