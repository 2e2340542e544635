// The player window's video area: the surface the player presents its pictures to. It keeps
// the newest picture and paints it on the UI thread, black where there is none, never
// stretched out of its shape.
#pragma once

#include <QWidget>
#include <memory>

#include "engine/engine.h"

namespace ostrel {

class VideoArea : public QWidget, public engine::VideoSurface {
    Q_OBJECT

  public:
    explicit VideoArea(QWidget* parent = nullptr);

    // Called through the poster, on the UI thread: keeps the frame (null shows black) and
    // schedules a repaint.
    void PresentFrame(std::shared_ptr<const engine::VideoFrame> frame) override;

    const std::shared_ptr<const engine::VideoFrame>& Frame() const { return frame_; }
    quint64 PresentedCount() const { return presented_; }
    // Where the picture is drawn: the largest rectangle of the picture's shape that fits,
    // centred; empty without a picture.
    QRect PictureRect() const;

  signals:
    void doubleClicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    std::shared_ptr<const engine::VideoFrame> frame_;
    quint64 presented_ = 0;
};

}  // namespace ostrel
