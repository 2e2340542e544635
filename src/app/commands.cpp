#include "app/commands.h"

#include <QCoreApplication>
#include <QDebug>
#include <exception>

namespace ostrel {

QString TranslatedCommandText(const QString& text) {
    return QCoreApplication::translate("ostrel::Commands", text.toLatin1().constData());
}

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
            command(ID_FILE, "ID_FILE", QT_TRANSLATE_NOOP("ostrel::Commands", "File"), "",
                    QT_TRANSLATE_NOOP("ostrel::Commands", "File"), "", 'F'),
            command(ID_ADDFILES, "ID_ADDFILES", QT_TRANSLATE_NOOP("ostrel::Commands", "Add Files"),
                    QT_TRANSLATE_NOOP("ostrel::Commands", "Add"),
                    QT_TRANSLATE_NOOP("ostrel::Commands", "Add Files"), "Ctrl+O", 'A'),
            command(ID_ADDFOLDER, "ID_ADDFOLDER",
                    QT_TRANSLATE_NOOP("ostrel::Commands", "Add Folder..."),
                    QT_TRANSLATE_NOOP("ostrel::Commands", "Add Folder"),
                    QT_TRANSLATE_NOOP("ostrel::Commands",
                                      "Add every media file of a folder and its subfolders"),
                    "Ctrl+Shift+O", 'd'),
            command(ID_EXIT, "ID_EXIT", QT_TRANSLATE_NOOP("ostrel::Commands", "Exit     "), "",
                    QT_TRANSLATE_NOOP("ostrel::Commands", "Exit     "), "Ctrl+E", 'x'),
            command(ID_LIST, "ID_LIST", QT_TRANSLATE_NOOP("ostrel::Commands", "List"), "",
                    QT_TRANSLATE_NOOP("ostrel::Commands", "List"), "", 'L'),
            command(ID_SELECTALL, "ID_SELECTALL",
                    QT_TRANSLATE_NOOP("ostrel::Commands", "Select All"), "",
                    QT_TRANSLATE_NOOP("ostrel::Commands", "Select All"), "Ctrl+A", 'S'),
            command(ID_INVERTSELECTION, "ID_INVERTSELECTION",
                    QT_TRANSLATE_NOOP("ostrel::Commands", "Invert Selection"), "",
                    QT_TRANSLATE_NOOP("ostrel::Commands", "Invert Selection   "), "Ctrl+Alt+I",
                    'I'),
            command(ID_CLEARALL, "ID_CLEARALL", QT_TRANSLATE_NOOP("ostrel::Commands", "Clear All"),
                    "", QT_TRANSLATE_NOOP("ostrel::Commands", "Clear All"), "Ctrl+L", 'C'),
            command(ID_REMOVESELECTEDFILES, "ID_REMOVESELECTEDFILES",
                    QT_TRANSLATE_NOOP("ostrel::Commands", "Remove Selected Files"),
                    QT_TRANSLATE_NOOP("ostrel::Commands", "Remove"),
                    QT_TRANSLATE_NOOP("ostrel::Commands", "Remove Selected Files"), "Del", 'R'),
            command(ID_HELP, "ID_HELP", QT_TRANSLATE_NOOP("ostrel::Commands", "Help"), "",
                    QT_TRANSLATE_NOOP("ostrel::Commands", "Help"), "", 'H'),
            command(ID_ABOUT, "ID_ABOUT", QT_TRANSLATE_NOOP("ostrel::Commands", "About..."), "",
                    QT_TRANSLATE_NOOP("ostrel::Commands", "About"), "", 'A'),
            command(ID_WEBSITE, "ID_WEBSITE", QT_TRANSLATE_NOOP("ostrel::Commands", "Website"), "",
                    QT_TRANSLATE_NOOP("ostrel::Commands", "Website"), "", 'W'),
            command(IDR_TOOBAR, "IDR_TOOBAR", "", QT_TRANSLATE_NOOP("ostrel::Commands", "Toobar"),
                    QT_TRANSLATE_NOOP("ostrel::Commands", "Toobar"), ""),
            // Ctrl+Return starts the run from anywhere in the window; the keypad's Enter
            // does the same.
            command(ID_JOINTB, "ID_JOINTB", QT_TRANSLATE_NOOP("ostrel::Commands", "Convert Files"),
                    QT_TRANSLATE_NOOP("ostrel::Commands", "Convert"),
                    QT_TRANSLATE_NOOP("ostrel::Commands", "Convert Files"),
                    "Ctrl+Return; Ctrl+Enter", 'C'),
            command(ID_UP, "ID_UP", "", QT_TRANSLATE_NOOP("ostrel::Commands", "Move Up"),
                    QT_TRANSLATE_NOOP("ostrel::Commands", "Move Up"), ""),
            command(ID_DOWN, "ID_DOWN", "", QT_TRANSLATE_NOOP("ostrel::Commands", "Move Down"),
                    QT_TRANSLATE_NOOP("ostrel::Commands", "Move Down"), ""),
            command(ID_PLAY, "ID_PLAY", "", QT_TRANSLATE_NOOP("ostrel::Commands", "Play"),
                    QT_TRANSLATE_NOOP("ostrel::Commands", "Play"), ""),
            command(ID_HELPCONTENTS, "ID_HELPCONTENTS",
                    QT_TRANSLATE_NOOP("ostrel::Commands", "Help Contents"), "",
                    QT_TRANSLATE_NOOP("ostrel::Commands", "Help Contents"), "F1", 'C'),
        };
    }();
    return table;
}

QString MenuCaption(const Command& command) {
    QString caption = TranslatedCommandText(command.Caption);
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
