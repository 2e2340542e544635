#include "app/icons.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

#include "app/commands.h"
#include "app/painted_icon.h"

namespace ostrel {
namespace {

// Drawn on a 32 x 32 canvas.
QIcon Drawn(const IconDrawing& draw) {
    return PaintedIcon(draw, 32);
}

QBrush Shaded(const QColor& color) {
    QLinearGradient gradient(0, 0, 0, 32);
    gradient.setColorAt(0, color.lighter(130));
    gradient.setColorAt(1, color.darker(115));
    return gradient;
}

void Disc(QPainter& painter, const QColor& color) {
    painter.setPen(QPen(color.darker(140), 1.2));
    painter.setBrush(Shaded(color));
    painter.drawEllipse(QRectF(2.5, 2.5, 27, 27));
}

void Bar(QPainter& painter, const QRectF& rect) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(rect, 1.5, 1.5);
}

void Arrow(QPainter& painter, bool up) {
    Disc(painter, QColor(0x3a, 0x7b, 0xd5));
    QPolygonF arrow{{16, 7}, {25, 17}, {19.5, 17}, {19.5, 25}, {12.5, 25}, {12.5, 17}, {7, 17}};
    if (!up) {
        painter.translate(0, 32);
        painter.scale(1, -1);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPolygon(arrow);
}

QIcon Fallback(int commandId) {
    switch (commandId) {
        case ID_ADDFILES:
            return Drawn([](QPainter& painter) {
                Disc(painter, QColor(0x2e, 0xa0, 0x43));
                Bar(painter, QRectF(8, 14, 16, 4));
                Bar(painter, QRectF(14, 8, 4, 16));
            });
        case ID_ADDFOLDER:
            return Drawn([](QPainter& painter) {
                painter.setPen(Qt::NoPen);
                painter.setBrush(QColor(0xd9, 0xa4, 0x41));
                painter.drawRoundedRect(QRectF(2, 6, 12, 6), 2, 2);
                painter.drawRoundedRect(QRectF(2, 9, 28, 19), 3, 3);
                Bar(painter, QRectF(10, 17, 12, 3));
                Bar(painter, QRectF(14.5, 12.5, 3, 12));
            });
        case ID_REMOVESELECTEDFILES:
            return Drawn([](QPainter& painter) {
                Disc(painter, QColor(0xd0, 0x3b, 0x2e));
                Bar(painter, QRectF(8, 14, 16, 4));
            });
        case ID_PLAY:
            return Drawn([](QPainter& painter) {
                Disc(painter, QColor(0x2f, 0x8f, 0xa8));
                painter.setPen(Qt::NoPen);
                painter.setBrush(Qt::white);
                painter.drawPolygon(QPolygonF{{12.5, 9}, {24, 16}, {12.5, 23}});
            });
        case ID_UP:
            return Drawn([](QPainter& painter) { Arrow(painter, true); });
        case ID_DOWN:
            return Drawn([](QPainter& painter) { Arrow(painter, false); });
        case ID_JOINTB:
            return Drawn([](QPainter& painter) {
                // A film frame turning into a note: media in, media out.
                painter.setPen(QPen(QColor(0x5a, 0x3d, 0x8a), 1.2));
                painter.setBrush(Shaded(QColor(0x8e, 0x6c, 0xc9)));
                painter.drawRoundedRect(QRectF(2.5, 5.5, 27, 21), 4, 4);
                painter.setPen(Qt::NoPen);
                painter.setBrush(Qt::white);
                for (int hole = 0; hole < 4; ++hole) {
                    painter.drawRect(QRectF(5 + hole * 6.5, 7.5, 3, 2.5));
                    painter.drawRect(QRectF(5 + hole * 6.5, 22, 3, 2.5));
                }
                painter.drawPolygon(QPolygonF{{8, 13.5},
                                              {17, 13.5},
                                              {17, 10.5},
                                              {24, 16},
                                              {17, 21.5},
                                              {17, 18.5},
                                              {8, 18.5}});
            });
        case ID_HELPCONTENTS:
            return Drawn([](QPainter& painter) {
                Disc(painter, QColor(0x3a, 0x7b, 0xd5));
                painter.setPen(Qt::white);
                QFont font = painter.font();
                font.setBold(true);
                font.setPixelSize(20);
                painter.setFont(font);
                painter.drawText(QRectF(0, 0, 32, 32), Qt::AlignCenter, QStringLiteral("?"));
            });
        default:
            return {};
    }
}

QString ThemeName(int commandId) {
    switch (commandId) {
        case ID_ADDFILES:
            return QStringLiteral("list-add");
        case ID_ADDFOLDER:
            return QStringLiteral("folder-new");
        case ID_REMOVESELECTEDFILES:
            return QStringLiteral("list-remove");
        case ID_PLAY:
            return QStringLiteral("media-playback-start");
        case ID_UP:
            return QStringLiteral("go-up");
        case ID_DOWN:
            return QStringLiteral("go-down");
        case ID_JOINTB:
            return QStringLiteral("system-run");
        case ID_EXIT:
            return QStringLiteral("application-exit");
        case ID_HELPCONTENTS:
            return QStringLiteral("help-browser");
        case ID_ABOUT:
            return QStringLiteral("help-about");
        case ID_SELECTALL:
            return QStringLiteral("edit-select-all");
        case ID_CLEARALL:
            return QStringLiteral("edit-clear");
        default:
            return {};
    }
}

}  // namespace

QIcon AppIcon() {
    static const QIcon icon = Drawn([](QPainter& painter) {
        QLinearGradient body(0, 0, 32, 32);
        body.setColorAt(0, QColor(0xf0, 0x8a, 0x24));
        body.setColorAt(1, QColor(0xc2, 0x41, 0x0c));
        painter.setPen(QPen(QColor(0x8a, 0x2e, 0x08), 1));
        painter.setBrush(body);
        painter.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 7, 7);
        // Two arrows chasing each other: one format turning into another.
        painter.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
        painter.setBrush(Qt::NoBrush);
        painter.drawArc(QRectF(8, 8, 16, 16), 30 * 16, 150 * 16);
        painter.drawArc(QRectF(8, 8, 16, 16), 210 * 16, 150 * 16);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawPolygon(QPolygonF{{22.5, 6.5}, {26.5, 13.5}, {19, 13}});
        painter.drawPolygon(QPolygonF{{9.5, 25.5}, {5.5, 18.5}, {13, 19}});
    });
    return icon;
}

QIcon CommandIcon(int commandId) {
    const QString name = ThemeName(commandId);
    const QIcon fallback = Fallback(commandId);
    if (name.isEmpty()) {
        return fallback;
    }
    if (QIcon::hasThemeIcon(name)) {
        return QIcon::fromTheme(name);
    }
    return fallback;
}

}  // namespace ostrel
