#include "app/form_wait.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

#include "app/icons.h"
#include "app/window_placement.h"

namespace ostrel {

FormWait::FormWait(QWidget* owner) : QDialog(owner) {
    setWindowTitle(tr("Please wait..."));
    setModal(false);
    auto* label = new QLabel(tr("Reading files, please wait..."), this);
    label->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    // 4410 x 915 twips, fixed: no maximise button.
    setWindowFlags(DialogFlags(false));
    setFixedSize(QSize(294, 61).expandedTo(sizeHint()));
    setWindowIcon(AppIcon());
}

void FormWait::closeEvent(QCloseEvent* event) {
    // Its own close box is refused; the program (hide/close calls) and the platform close it.
    if (event->spontaneous()) {
        event->ignore();
        return;
    }
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
