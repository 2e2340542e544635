#include "app/commands.h"

#include <QDebug>
#include <exception>

namespace ostrel {

const QList<Command>& CommandTable() {
    static const QList<Command> table = [] {
        auto command = [](int id, const char* name, const char* caption, const char* toolbar,
                          const char* tooltip, const char* shortcut, char accessKey = 0) {
            Command entry;
            entry.Id = id;
            entry.Name = QString::fromLatin1(name);
            entry.Caption = QString::fromLatin1(caption);
            entry.ToolbarCaption = QString::fromLatin1(toolbar);
            entry.Tooltip = QString::fromLatin1(tooltip);
            entry.Shortcut = QString::fromLatin1(shortcut);
            entry.AccessKey = QLatin1Char(accessKey);
            return entry;
        };
        return QList<Command>{
            command(ID_FILE, "ID_FILE", "File", "", "File", "", 'F'),
            command(ID_ADDFILES, "ID_ADDFILES", "Add Files", "Add", "Add Files", "Ctrl+O", 'A'),
            command(ID_ADDFOLDER, "ID_ADDFOLDER", "Add Folder...", "Add Folder",
                    "Add every media file of a folder and its subfolders", "Ctrl+Shift+O", 'd'),
            command(ID_EXIT, "ID_EXIT", "Exit     ", "", "Exit     ", "Ctrl+E", 'x'),
            command(ID_LIST, "ID_LIST", "List", "", "List", "", 'L'),
            command(ID_SELECTALL, "ID_SELECTALL", "Select All", "", "Select All", "Ctrl+A", 'S'),
            command(ID_INVERTSELECTION, "ID_INVERTSELECTION", "Invert Selection", "",
                    "Invert Selection   ", "Ctrl+Alt+I", 'I'),
            command(ID_CLEARALL, "ID_CLEARALL", "Clear All", "", "Clear All", "Ctrl+L", 'C'),
            command(ID_REMOVESELECTEDFILES, "ID_REMOVESELECTEDFILES", "Remove Selected Files",
                    "Remove", "Remove Selected Files", "Del", 'R'),
            command(ID_HELP, "ID_HELP", "Help", "", "Help", "", 'H'),
            command(ID_ABOUT, "ID_ABOUT", "About...", "", "About", "", 'A'),
            command(ID_WEBSITE, "ID_WEBSITE", "Website", "", "Website", "", 'W'),
            command(IDR_TOOBAR, "IDR_TOOBAR", "", "Toobar", "Toobar", ""),
            // Ctrl+Return starts the run from anywhere in the window; the keypad's Enter
            // does the same.
            command(ID_JOINTB, "ID_JOINTB", "Convert Files", "Convert", "Convert Files",
                    "Ctrl+Return; Ctrl+Enter", 'C'),
            command(ID_UP, "ID_UP", "", "Move Up", "Move Up", ""),
            command(ID_DOWN, "ID_DOWN", "", "Move Down", "Move Down", ""),
            command(ID_PLAY, "ID_PLAY", "", "Play", "Play", ""),
            command(ID_HELPCONTENTS, "ID_HELPCONTENTS", "Help Contents", "", "Help Contents", "F1",
                    'C'),
        };
    }();
    return table;
}

QString MenuCaption(const Command& command) {
    QString caption = command.Caption;
    caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
    if (command.AccessKey.isNull()) {
        return caption;
    }
    const qsizetype at = caption.indexOf(command.AccessKey, 0, Qt::CaseInsensitive);
    if (at >= 0) {
        caption.insert(at, QLatin1Char('&'));
    }
    return caption;
}

const Command* FindCommand(int id) {
    for (const Command& command : CommandTable()) {
        if (command.Id == id) {
            return &command;
        }
    }
    return nullptr;
}

const CommandBarLayout& CommandBars() {
    static const CommandBarLayout layout = [] {
        CommandBarLayout bars;
        bars.MenuBar = {ID_FILE, ID_LIST, ID_HELP};
        bars.Menus.insert(ID_FILE, {ID_ADDFILES, ID_ADDFOLDER, ID_JOINTB, ID_NONE, ID_EXIT});
        bars.Menus.insert(ID_LIST,
                          {ID_SELECTALL, ID_INVERTSELECTION, ID_REMOVESELECTEDFILES, ID_CLEARALL});
        bars.Menus.insert(ID_HELP, {ID_HELPCONTENTS, ID_WEBSITE, ID_ABOUT});
        bars.ToolbarTitle = FindCommand(IDR_TOOBAR)->ToolbarCaption;
        bars.Toolbar = {ID_ADDFILES, ID_ADDFOLDER, ID_REMOVESELECTEDFILES, ID_PLAY, ID_UP,
                        ID_DOWN,     ID_JOINTB};
        bars.ContextMenu = {ID_SELECTALL, ID_INVERTSELECTION, ID_REMOVESELECTEDFILES, ID_CLEARALL};
        return bars;
    }();
    return layout;
}

void CommandDispatcher::Register(int id, Operation operation) {
    operations_.insert(id, std::move(operation));
}

bool CommandDispatcher::Dispatch(int id) const {
    const auto found = operations_.constFind(id);
    if (found == operations_.constEnd() || !*found) {
        return false;
    }
    try {
        (*found)();
        return true;
    } catch (const std::exception& error) {
        qWarning("Command %d failed: %s", id, error.what());
    } catch (...) {
        qWarning("Command %d failed", id);
    }
    return false;
}

}  // namespace ostrel
