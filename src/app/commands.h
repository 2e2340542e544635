// The main window's commands as data: identifiers, captions, tooltips, shortcuts and the
// layout of the menu bar, the toolbar and the list's context menu, plus the one dispatcher
// every command reaches as its identifier.
#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <functional>

namespace ostrel {

enum CommandId : int {
    ID_NONE = 0,
    ID_FILE = 1020,
    ID_ADDFILES = 1021,
    ID_EXIT = 1022,
    ID_LIST = 1023,
    ID_SELECTALL = 1024,
    ID_INVERTSELECTION = 1025,
    ID_CLEARALL = 1026,
    ID_REMOVESELECTEDFILES = 1027,
    ID_HELP = 1031,
    ID_ABOUT = 1032,
    ID_WEBSITE = 1034,
    IDR_TOOBAR = 1037,
    ID_JOINTB = 1038,
    ID_UP = 1039,
    ID_DOWN = 1040,
    ID_PLAY = 1042,
    ID_HELPCONTENTS = 1043,
    ID_ADDFOLDER = 1044,
};

struct Command {
    int Id = ID_NONE;
    QString Name;            // the symbolic name, "ID_ADDFILES"
    QString Caption;         // in menus (empty for toolbar-only commands)
    QString ToolbarCaption;  // on the toolbar (empty when the command is not there)
    QString Tooltip;
    // Portable key text, "Ctrl+O"; several keys are separated by "; ". Also bindings of the
    // whole window.
    QString Shortcut;
    // The letter of Caption that Alt (in the menu bar) or the letter alone (in an open menu)
    // chooses; nothing for commands that are not in a menu.
    QChar AccessKey;
};

// A caption or tooltip of the table in the user's language.
QString TranslatedCommandText(const QString& text);

// The menu caption with its access key marked for the menus ("&Add Files"); what the user reads
// is Caption itself.
QString MenuCaption(const Command& command);

const QList<Command>& CommandTable();
// Null for an identifier that is not in the table.
const Command* FindCommand(int id);

// The entries of each bar in order; ID_NONE stands for a separator. The menu bar lists the
// identifiers of its menus.
struct CommandBarLayout {
    QList<int> MenuBar;
    QHash<int, QList<int>> Menus;  // menu identifier -> its entries
    QString ToolbarTitle;
    QList<int> Toolbar;
    QList<int> ContextMenu;
};
const CommandBarLayout& CommandBars();

// Runs the operation registered for an identifier. Unknown identifiers do nothing, and an
// operation's failure ends that operation only: the window stays usable.
class CommandDispatcher {
  public:
    using Operation = std::function<void()>;

    void Register(int id, Operation operation);
    // Returns false when nothing ran to completion (no operation, or it failed).
    bool Dispatch(int id) const;

  private:
    QHash<int, Operation> operations_;
};

}  // namespace ostrel
