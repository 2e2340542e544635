// The command line: `ostrel [FILE...]` names files to add to the list ("--" ends the switches),
// and two hidden switches measure and demonstrate the list without a file manager:
//   --add-folder DIR  adds every file of DIR once the window is up, as a drop would;
//   --bench-add DIR   the same, then prints how long it took and ends (for bench/).
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include "app/app_shell.h"

namespace ostrel {

class MainWindow;

struct StartupOptions {
    QString AddFolder;
    bool Bench = false;
    QStringList Files;  // absolute and clean, in the order given
    QString Error;      // a usage error: an unknown switch
};

StartupOptions ParseStartupOptions(const QStringList& arguments);

// The files (not folders) of folder, sorted by name, as full paths.
QStringList FilesOfFolder(const QString& folder);

// A desktop that asks nobody, for bench runs: messages go to standard error, questions are
// answered No and no dialog opens.
std::unique_ptr<Shell> MakeQuietShell();

// Adds the files of the folder through the drop road and, for a bench run, prints the
// figures on standard output. Returns the process's exit status for a bench run.
int AddFolderFiles(MainWindow& window, const StartupOptions& options);

}  // namespace ostrel
