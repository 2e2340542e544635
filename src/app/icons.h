// Icons of the windows and the command bars: the desktop's icon theme where it has one,
// otherwise simple drawings of our own so the toolbar never shows blank buttons.
#pragma once

#include <QIcon>

namespace ostrel {

// The program's own icon (every window shows it).
QIcon AppIcon();

// The icon of a command, or a null icon for commands that have none.
QIcon CommandIcon(int commandId);

}  // namespace ostrel
