// Icons drawn by code, painted afresh at every size and pixel density they are shown at, so
// they stay sharp on dense screens and at any scale factor.
#pragma once

#include <QIcon>
#include <QPainter>
#include <functional>

namespace ostrel {

// Draws on a square canvas of `canvas` units; the painter is scaled to the size asked for.
using IconDrawing = std::function<void(QPainter&)>;

QIcon PaintedIcon(IconDrawing draw, qreal canvas);

}  // namespace ostrel
