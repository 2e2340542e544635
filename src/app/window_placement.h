// Where the program's dialogs go and what their title bars offer: every dialog stays inside
// the available area of its screen (a dialog that grows near an edge moves left or up), and a
// dialog of fixed size offers no maximise button.
#pragma once

#include <QPoint>
#include <QRect>
#include <Qt>

class QWidget;

namespace ostrel {

// The top-left corner that puts frame inside area with the least movement: a frame that
// sticks out to the right or at the bottom moves left or up, one that sticks out to the left
// or at the top moves right or down. A frame larger than the area keeps its top-left corner
// in the area, so the title bar stays reachable.
QPoint PositionInside(const QRect& frame, const QRect& area);

// Moves a top-level window so that its frame lies inside its screen's available area.
void KeepOnScreen(QWidget* window);

// A dialog's title bar: the title and the close box, and the maximise button only for a
// dialog the user can resize.
Qt::WindowFlags DialogFlags(bool resizable);

}  // namespace ostrel
