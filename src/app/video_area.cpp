#include "app/video_area.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QtEndian>

namespace ostrel {
namespace {

// The frames' bytes B, G, R, A are Qt's 32-bit 0xAARRGGBB pixels on a little-endian machine.
static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "frame pixels are read as native 32-bit words");

bool Usable(const engine::VideoFrame& frame) {
    return frame.width > 0 && frame.height > 0 && frame.stride >= frame.width * 4 &&
           frame.pixels.size() >= static_cast<std::size_t>(frame.stride) * frame.height;
}

}  // namespace

VideoArea::VideoArea(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::NoFocus);
}

void VideoArea::PresentFrame(std::shared_ptr<const engine::VideoFrame> frame) {
    frame_ = std::move(frame);
    ++presented_;
    update();
}

QRect VideoArea::PictureRect() const {
    if (frame_ == nullptr || !Usable(*frame_)) {
        return {};
    }
    QSize size(frame_->width, frame_->height);
    size.scale(this->size(), Qt::KeepAspectRatio);
    return QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

void VideoArea::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect picture = PictureRect();
    if (picture.isEmpty()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    // Black around the picture only, so it does not flicker.
    const QRegion around = QRegion(rect()).subtracted(picture);
    for (const QRect& part : around) {
        painter.fillRect(part, Qt::black);
    }
    // The image shares the frame's bytes; the frame outlives the paint.
    const QImage image(frame_->pixels.data(), frame_->width, frame_->height, frame_->stride,
                       QImage::Format_RGB32);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(picture, image);
}

void VideoArea::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        emit doubleClicked();
        event->accept();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

}  // namespace ostrel
