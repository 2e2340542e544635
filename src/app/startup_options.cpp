#include "app/startup_options.h"

#include <sys/resource.h>
#include <QTemporaryDir>

#include "filelist/folder_walk.h"
#include "filelist/list_store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "app/app_shell.h"
#include "app/main_window.h"
#include "app/open_with.h"
#include "common/engine_path.h"
#include "common/file_info.h"

namespace ostrel {
namespace {

class QuietShell : public Shell {
  public:
    void Inform(QWidget*, MessageIcon, const QString& text) override {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    }
    bool AskYesNo(QWidget*, const QString&) override { return false; }
    QStringList ChooseFiles(QWidget*, const QString&, const QStringList&) override { return {}; }
    void OpenUrl(const QUrl&) override {}
    void RunModal(QDialog&) override {}
    void EndProcess() override { QCoreApplication::exit(0); }
};

}  // namespace

std::unique_ptr<Shell> MakeQuietShell() {
    return std::make_unique<QuietShell>();
}

StartupOptions ParseStartupOptions(const QStringList& arguments) {
    StartupOptions options;
    bool switches = true;
    for (int index = 1; index < arguments.size(); ++index) {
        const QString& argument = arguments.at(index);
        if (switches && index + 1 < arguments.size() &&
            (argument == QStringLiteral("--add-folder") ||
             argument == QStringLiteral("--bench-add"))) {
            options.AddFolder = arguments.at(index + 1);
            options.Bench = argument == QStringLiteral("--bench-add");
            ++index;
        } else if (switches && argument == QStringLiteral("--")) {
            switches = false;
        } else if (switches && argument.size() > 1 && argument.startsWith(u'-')) {
            options.Error = QStringLiteral("unknown option '%1'").arg(argument);
        } else if (const QString path = OpenWithPath(argument); !path.isEmpty()) {
            options.Files.append(path);
        }
    }
    return options;
}

QStringList FilesOfFolder(const QString& folder) {
    return FilesInFolder(AbsolutePath(folder));
}

int AddFolderFiles(MainWindow& window, const StartupOptions& options) {
    // The folder as a drop of it adds it: every media file under it, folder by folder.
    const QString folder = AbsolutePath(options.AddFolder);
    const qsizetype offered = WalkFolder(folder).Files.size();
    // A 10 ms timer only fires when window events run: the longest gap between two of its
    // ticks is the longest time the window could not answer the user.
    QElapsedTimer sinceLastTick;
    qint64 longestPauseMs = 0;
    QTimer heartbeat;
    heartbeat.setInterval(10);
    QObject::connect(&heartbeat, &QTimer::timeout, &window,
                     [&] { longestPauseMs = std::max(longestPauseMs, sinceLastTick.restart()); });
    QElapsedTimer clock;
    clock.start();
    sinceLastTick.start();
    heartbeat.start();
    window.AddDroppedFiles({folder});
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    heartbeat.stop();
    longestPauseMs = std::max(longestPauseMs, sinceLastTick.elapsed());
    if (!options.Bench) {
        return 0;
    }
    // The list kept between sessions: written and read back as at exit and start.
    QTemporaryDir state;
    const QString listPath = state.filePath(QStringLiteral("list.json"));
    clock.restart();
    const bool saved = SaveFileList(listPath, window.Model().Rows());
    const qint64 saveMs = clock.elapsed();
    clock.restart();
    const qsizetype restored = LoadFileList(listPath).size();
    const qint64 restoreMs = clock.elapsed();
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf(
        "files offered: %lld\nrows listed: %d\nseconds: %.3f\nlongest pause: %lld ms\n"
        "list saved: %lld ms\nlist restored: %lld rows in %lld ms\npeak memory: %ld MB\n",
        static_cast<long long>(offered), window.Model().Count(), seconds,
        static_cast<long long>(longestPauseMs), static_cast<long long>(saveMs),
        static_cast<long long>(restored), static_cast<long long>(restoreMs),
        usage.ru_maxrss / 1024);
    std::fflush(stdout);
    return saved && restored == offered && window.Model().Count() == offered ? 0 : 1;
}

}  // namespace ostrel
