// "Open With": the files named on the command line, and those a later `ostrel FILE...` hands
// over, enter the list the way dropped files do: probed one by one, files already listed
// skipped, files the engine cannot open reported with the usual message.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace ostrel {

class MainWindow;
class SingleInstance;
struct StartupOptions;

// The id of the desktop entry, the icon and the metainfo; the window system matches the
// running window to its menu entry by it.
inline const QString kDesktopEntryId = QStringLiteral("com.ostrel_software.MediaConverter");

// `ostrel --help`.
QString WindowUsage();

// One command-line argument as a path to list: absolute and clean; a "file:" address is
// taken as its local path.
QString OpenWithPath(const QString& argument);

// --help and --version, answered before the window system is reached so that they work on
// a plain terminal. Returns the exit status when the process should end.
std::optional<int> AnswerInfoSwitches(int argc, const char* const argv[]);

// Before the window is made: reports a usage error, or hands the files to the window that
// is running already, or makes this instance the one that later instances reach. Returns the
// exit status when this process should end. The hidden bench switches always run alone.
std::optional<int> HandToRunningWindow(SingleInstance& instance, const StartupOptions& options);

// Once the window is shown: adds the command line's files and from then on whatever later
// instances hand over.
void OpenWithWindow(MainWindow& window, SingleInstance& instance, const StartupOptions& options);

// Brings the window forward and adds the paths through the drop road.
void OpenFiles(MainWindow& window, const QStringList& paths);

}  // namespace ostrel
