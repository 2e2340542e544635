#include "app/command_bars.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

#include "app/commands.h"
#include "app/icons.h"

namespace ostrel {
namespace {

QAction* NewAction(QMainWindow& window, const CommandDispatcher& dispatcher, const Command& command,
                   const QString& caption) {
    auto* action = new QAction(CommandIcon(command.Id), caption, &window);
    action->setToolTip(TranslatedCommandText(command.Tooltip));
    action->setData(command.Id);
    action->setIconVisibleInMenu(true);
    const int id = command.Id;
    QObject::connect(action, &QAction::triggered, &window,
                     [&dispatcher, id] { dispatcher.Dispatch(id); });
    return action;
}

}  // namespace

BuiltCommandBars BuildCommandBars(QMainWindow& window, const CommandDispatcher& dispatcher) {
    BuiltCommandBars built;
    const CommandBarLayout& layout = CommandBars();

    auto menuAction = [&](int id) {
        QAction*& action = built.MenuActions[id];
        if (action == nullptr) {
            const Command* command = FindCommand(id);
            action = NewAction(window, dispatcher, *command, MenuCaption(*command));
            if (!command->Shortcut.isEmpty()) {
                action->setShortcuts(
                    QKeySequence::listFromString(command->Shortcut, QKeySequence::PortableText));
                action->setShortcutContext(Qt::WindowShortcut);
                // Bound to the whole window, not only while its menu is around.
                window.addAction(action);
            }
        }
        return action;
    };
    auto fill = [&](QMenu* menu, const QList<int>& entries) {
        for (const int id : entries) {
            if (id == ID_NONE) {
                menu->addSeparator();
            } else {
                menu->addAction(menuAction(id));
            }
        }
    };

    QMenuBar* bar = window.menuBar();
    // Qt's own menu of the bars would offer to hide the toolbar, and no command shows it again.
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    for (const int menuId : layout.MenuBar) {
        QMenu* menu = bar->addMenu(MenuCaption(*FindCommand(menuId)));
        fill(menu, layout.Menus.value(menuId));
    }

    built.Toolbar = new QToolBar(TranslatedCommandText(layout.ToolbarTitle), &window);
    built.Toolbar->setObjectName(QStringLiteral("Toobar"));
    built.Toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    built.Toolbar->setIconSize(QSize(32, 32));
    built.Toolbar->setMovable(true);
    built.Toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    for (const int id : layout.Toolbar) {
        const Command* command = FindCommand(id);
        QAction* action =
            NewAction(window, dispatcher, *command, TranslatedCommandText(command->ToolbarCaption));
        built.ToolbarActions.insert(id, action);
        built.Toolbar->addAction(action);
        // The buttons are in the window's tab order, so every command is reachable by keys.
        if (QWidget* button = built.Toolbar->widgetForAction(action)) {
            button->setFocusPolicy(Qt::TabFocus);
        }
    }
    window.addToolBar(Qt::TopToolBarArea, built.Toolbar);
    // The button that shows the buttons a narrow window hides is Qt's own and has no name.
    if (auto* more = built.Toolbar->findChild<QWidget*>(QStringLiteral("qt_toolbar_ext_button"))) {
        more->setAccessibleName(QCoreApplication::translate("ostrel::Commands", "More Buttons"));
    }

    built.ContextMenu = new QMenu(&window);
    fill(built.ContextMenu, layout.ContextMenu);
    return built;
}

}  // namespace ostrel
