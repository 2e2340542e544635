#include "app/form_wait.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>

#include "app/icons.h"
#include "app/window_placement.h"

namespace ostrel {

FormWait::FormWait(QWidget* owner) : QDialog(owner) {
    setWindowTitle(tr("Please wait..."));
    setModal(false);
    auto* label = new QLabel(tr("Reading files, please wait..."), this);
    label->setAlignment(Qt::AlignCenter);
    // The count's line is sized for a long count before the window's size is fixed.
    count_ = new QLabel(
        tr("%1 of %2 files").arg(QLocale().toString(99999), QLocale().toString(99999)), this);
    count_->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(count_);
    // 4410 x 915 twips, fixed: no maximise button.
    setWindowFlags(DialogFlags(false));
    setFixedSize(QSize(294, 61).expandedTo(sizeHint()));
    count_->clear();
    setWindowIcon(AppIcon());
}

void FormWait::ShowCount(int done, int total) {
    count_->setText(tr("%1 of %2 files").arg(QLocale().toString(done), QLocale().toString(total)));
}

QString FormWait::CountText() const {
    return count_->text();
}

void FormWait::closeEvent(QCloseEvent* event) {
    // Its own close box is refused; the program (hide/close calls) and the platform close it.
    if (event->spontaneous()) {
        event->ignore();
        return;
    }
    count_->clear();  // the next reading starts without the last one's count
    QDialog::closeEvent(event);
}

void FormWait::keyPressEvent(QKeyEvent* event) {
    // Escape would reject the dialog and hide it while files are still being read.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace ostrel
