// The menu bar, the toolbar and the list's context menu, generated from the command table.
// Every entry and every key binding reports its identifier to the dispatcher.
#pragma once

#include <QHash>

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;

namespace ostrel {

class CommandDispatcher;

struct BuiltCommandBars {
    QToolBar* Toolbar = nullptr;
    QMenu* ContextMenu = nullptr;
    QHash<int, QAction*> MenuActions;     // one per command shown in a menu; carries the shortcut
    QHash<int, QAction*> ToolbarActions;  // one per toolbar button
};

BuiltCommandBars BuildCommandBars(QMainWindow& window, const CommandDispatcher& dispatcher);

}  // namespace ostrel
