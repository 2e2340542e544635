// The small window shown while several files are read into the list. The user cannot close
// it; the program closes it when the files are in.
#pragma once

#include <QDialog>

namespace ostrel {

class FormWait : public QDialog {
    Q_OBJECT

  public:
    explicit FormWait(QWidget* owner);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace ostrel
