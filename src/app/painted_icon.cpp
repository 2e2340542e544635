#include "app/painted_icon.h"

#include <QApplication>
#include <QIconEngine>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>
#include <algorithm>
#include <cmath>
#include <utility>

namespace ostrel {
namespace {

class PaintedIconEngine final : public QIconEngine {
  public:
    PaintedIconEngine(IconDrawing draw, qreal canvas) : draw_(std::move(draw)), canvas_(canvas) {}

    QIconEngine* clone() const override { return new PaintedIconEngine(*this); }

    QString key() const override { return QStringLiteral("ostrel-painted"); }

    // Square drawings: the largest square that fits.
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        const int side = std::min(size.width(), size.height());
        return {side, side};
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        return {{16, 16}, {24, 24}, {32, 32}, {48, 48}, {64, 64}};
    }

    // Asked for in device pixels (QIcon multiplies by the pixel density first), so a 24-pixel
    // icon on a 2x screen is drawn at 48 pixels, not enlarged from 24.
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        const QSize square = actualSize(size, mode, state);
        if (square.isEmpty()) {
            return {};
        }
        QPixmap drawn(square);
        drawn.fill(Qt::transparent);
        QPainter painter(&drawn);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(square.width() / canvas_, square.height() / canvas_);
        draw_(painter);
        painter.end();
        if (mode == QIcon::Normal || qApp == nullptr || QApplication::style() == nullptr) {
            return drawn;
        }
        // Greyed (disabled) and selected looks come from the style, as for any other icon.
        QStyleOption option;
        option.palette = QApplication::palette();
        return QApplication::style()->generatedIconPixmap(mode, drawn, &option);
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal ratio =
            painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1.0;
        const QSize pixels(static_cast<int>(std::lround(rect.width() * ratio)),
                           static_cast<int>(std::lround(rect.height() * ratio)));
        QPixmap drawn = pixmap(pixels, mode, state);
        drawn.setDevicePixelRatio(ratio);
        const QSizeF shown = drawn.deviceIndependentSize();
        const QPointF corner(rect.x() + (rect.width() - shown.width()) / 2.0,
                             rect.y() + (rect.height() - shown.height()) / 2.0);
        painter->drawPixmap(corner, drawn);
    }

  private:
    IconDrawing draw_;
    qreal canvas_;
};

}  // namespace

QIcon PaintedIcon(IconDrawing draw, qreal canvas) {
    return QIcon(new PaintedIconEngine(std::move(draw), canvas));
}

}  // namespace ostrel
