// The about window: the program's picture, its version and the website link. It stays on
// top, closes on a click on its picture or by itself after 8 seconds.
#pragma once

#include <QDialog>
#include <functional>

class QLabel;

namespace ostrel {

class FormFlash : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kSelfCloseMs = 8000;

    // openWebsite runs when the link is clicked; the window stays open.
    FormFlash(QWidget* owner, std::function<void()> openWebsite);

    QLabel* LinkLabel() const { return link_; }

  protected:
    void mousePressEvent(QMouseEvent* event) override;

  private:
    QLabel* picture_ = nullptr;
    QLabel* link_ = nullptr;
};

}  // namespace ostrel
