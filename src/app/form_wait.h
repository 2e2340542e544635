// The small window shown while several files are read into the list. The user cannot close
// it; the program closes it when the files are in.
#pragma once

#include <QDialog>

class QLabel;

namespace ostrel {

class FormWait : public QDialog {
    Q_OBJECT

  public:
    explicit FormWait(QWidget* owner);

    // "1,234 of 10,000 files": how far the reading has come.
    void ShowCount(int done, int total);
    QString CountText() const;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QLabel* count_ = nullptr;
};

}  // namespace ostrel
