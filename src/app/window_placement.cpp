#include "app/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace ostrel {

QPoint PositionInside(const QRect& frame, const QRect& area) {
    if (!area.isValid()) {
        return frame.topLeft();
    }
    const auto fit = [](int start, int length, int areaStart, int areaLength) {
        // Too far right or down first, then too far left or up: the start wins when the
        // frame is larger than the area.
        const int moved = std::min(start, areaStart + areaLength - length);
        return std::max(moved, areaStart);
    };
    return {fit(frame.left(), frame.width(), area.left(), area.width()),
            fit(frame.top(), frame.height(), area.top(), area.height())};
}

void KeepOnScreen(QWidget* window) {
    if (window == nullptr || !window->isWindow()) {
        return;
    }
    const QScreen* screen = window->screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return;
    }
    // The frame, where the window manager has drawn one, is what must fit; the window is moved
    // by the same amount as its frame.
    const QRect frame = window->frameGeometry();
    const QPoint inside = PositionInside(frame, screen->availableGeometry());
    if (inside != frame.topLeft()) {
        window->move(window->pos() + (inside - frame.topLeft()));
    }
}

Qt::WindowFlags DialogFlags(bool resizable) {
    Qt::WindowFlags flags =
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    if (resizable) {
        flags |= Qt::WindowMaximizeButtonHint;
    }
    return flags;
}

}  // namespace ostrel
