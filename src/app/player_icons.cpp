#include "app/player_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <cmath>

#include "app/painted_icon.h"

namespace ostrel {
namespace {

const QColor kSymbolColor(0x33, 0x3a, 0x45);

// Drawn on a 16 x 16 canvas.
QIcon Drawn(const IconDrawing& draw) {
    return PaintedIcon(draw, 16);
}

}  // namespace

QIcon PlayIcon() {
    return Drawn([](QPainter& painter) {
        painter.setPen(QPen(kSymbolColor, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(kSymbolColor);
        painter.drawPolygon(QPolygonF{{4.5, 2.5}, {13, 8}, {4.5, 13.5}});
    });
}

QIcon PauseIcon() {
    return Drawn([](QPainter& painter) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(kSymbolColor);
        painter.drawRoundedRect(QRectF(3.5, 2.5, 3.2, 11), 0.8, 0.8);
        painter.drawRoundedRect(QRectF(9.3, 2.5, 3.2, 11), 0.8, 0.8);
    });
}

QPixmap SpeakerPixmap(bool muted, qreal devicePixelRatio) {
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    QPixmap pixmap(static_cast<int>(std::ceil(kSpeakerWidthPx * ratio)),
                   static_cast<int>(std::ceil(kSpeakerHeightPx * ratio)));
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);

    // The speaker: a small box and its cone, facing right.
    QPainterPath speaker;
    speaker.moveTo(1.5, 5.0);
    speaker.lineTo(4.5, 5.0);
    speaker.lineTo(8.5, 1.5);
    speaker.lineTo(8.5, 13.5);
    speaker.lineTo(4.5, 10.0);
    speaker.lineTo(1.5, 10.0);
    speaker.closeSubpath();
    painter.setPen(QPen(kSymbolColor.darker(120), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(kSymbolColor.lighter(150));
    painter.drawPath(speaker);

    if (muted) {
        // A red cross where the sound waves were.
        painter.setPen(QPen(QColor(0xd9, 0x2b, 0x2b), 2.0, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(11.5, 4.5), QPointF(17.5, 10.5));
        painter.drawLine(QPointF(17.5, 4.5), QPointF(11.5, 10.5));
    } else {
        // Two sound waves.
        painter.setPen(QPen(QColor(0x2f, 0x6f, 0xc9), 1.4, Qt::SolidLine, Qt::RoundCap));
        painter.setBrush(Qt::NoBrush);
        painter.drawArc(QRectF(6.5, 4.5, 6, 6), -50 * 16, 100 * 16);
        painter.drawArc(QRectF(6.0, 1.5, 12, 12), -50 * 16, 100 * 16);
    }
    painter.end();
    return pixmap;
}

}  // namespace ostrel
