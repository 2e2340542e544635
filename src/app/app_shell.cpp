#include "app/app_shell.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <algorithm>

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

// Qt's dialog in ExistingFiles mode disables Open for a typed name it cannot find and refuses it
// with a message of its own; names that exist keep Qt's handling (a folder is entered).
class OpenFilesDialog : public QFileDialog {
  public:
    OpenFilesDialog(QWidget* parent, const QString& folder)
        : QFileDialog(parent, QString(), folder) {
        setFileMode(QFileDialog::ExistingFiles);
        setAcceptMode(QFileDialog::AcceptOpen);
    }

    void showEvent(QShowEvent* event) override {
        QFileDialog::showEvent(event);
        // Qt's own widgets exist once it shows them (none when a native dialog is used).
        auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        auto* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        if (watching_ || name == nullptr || buttons == nullptr) {
            return;
        }
        watching_ = true;
        // Connected after Qt's own handler, so it has the last word.
        connect(name, &QLineEdit::textChanged, this, [buttons](const QString& text) {
            if (QPushButton* open = buttons->button(QDialogButtonBox::Open);
                open != nullptr && !text.trimmed().isEmpty()) {
                open->setEnabled(true);
            }
        });
    }

    void accept() override {
        const QStringList files = selectedFiles();
        const bool missing = std::ranges::any_of(
            files, [](const QString& path) { return !QFileInfo::exists(path); });
        if (!files.isEmpty() && missing) {
            QDialog::accept();
            return;
        }
        QFileDialog::accept();
    }

  private:
    bool watching_ = false;
};

}  // namespace

std::unique_ptr<QFileDialog> NewOpenFilesDialog(QWidget* parent, const QString& folder,
                                                const QStringList& nameFilters) {
    auto dialog = std::make_unique<OpenFilesDialog>(parent, folder);
    // The labels already say which extensions they cover.
    dialog->setOption(QFileDialog::HideNameFilterDetails, true);
    dialog->setNameFilters(nameFilters);
    if (!nameFilters.isEmpty()) {
        dialog->selectNameFilter(nameFilters.first());
    }
    return dialog;
}

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
    const std::unique_ptr<QFileDialog> dialog = NewOpenFilesDialog(parent, folder, nameFilters);
    if (dialog->exec() != QDialog::Accepted) {
        return {};
    }
    return dialog->selectedFiles();
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
