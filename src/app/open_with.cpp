#include "app/open_with.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <cstring>

#include "app/app_shell.h"
#include "app/main_window.h"
#include "app/startup_options.h"
#include "common/engine_path.h"
#include "common/messages.h"
#include "desktop/single_instance.h"

#ifndef OSTREL_VERSION
#define OSTREL_VERSION "0"
#endif

namespace ostrel {
namespace {

enum ExitStatus : int { ExitDone = 0, ExitNotHandedOver = 1, ExitUsage = 2 };

void Print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

}  // namespace

QString WindowUsage() {
    return QStringLiteral(
        "Usage: ostrel [FILE...]\n"
        "Opens the Ostrel Media Converter window and adds the audio and video files given to\n"
        "its list. When the window is open already, the files are added to that window.\n"
        "Folders are skipped; a file that cannot be read is reported in the window.\n"
        "\n"
        "  -h, --help     show this help and end\n"
        "      --version  show the version and end\n"
        "      --         every argument after this one is a file\n");
}

QString OpenWithPath(const QString& argument) {
    QString path = argument;
    if (argument.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive)) {
        const QUrl url(argument);
        if (url.isLocalFile()) {
            path = LocalFilePath(url);
        }
    }
    return path.isEmpty() ? QString() : AbsolutePath(path);
}

std::optional<int> AnswerInfoSwitches(int argc, const char* const argv[]) {
    for (int index = 1; index < argc; ++index) {
        const char* argument = argv[index];
        if (std::strcmp(argument, "--") == 0) {
            break;
        }
        if (std::strcmp(argument, "--add-folder") == 0 ||
            std::strcmp(argument, "--bench-add") == 0) {
            ++index;  // its folder
        } else if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
            Print(stdout, WindowUsage());
            return ExitDone;
        } else if (std::strcmp(argument, "--version") == 0) {
            Print(stdout, QStringLiteral("ostrel " OSTREL_VERSION "\n"));
            return ExitDone;
        }
    }
    return std::nullopt;
}

std::optional<int> HandToRunningWindow(SingleInstance& instance, const StartupOptions& options) {
    if (!options.Error.isEmpty()) {
        Print(stderr, QStringLiteral("ostrel: %1\nTry 'ostrel --help'.\n").arg(options.Error));
        return ExitUsage;
    }
    if (!options.AddFolder.isEmpty()) {
        return std::nullopt;
    }
    switch (instance.ClaimOrHandOver(options.Files)) {
        case SingleInstance::Claim::HandedOver:
            return ExitDone;
        case SingleInstance::Claim::NoAnswer: {
            const QString text = QCoreApplication::translate(
                "ostrel::OpenWith", "The open window did not answer, so the files were not added.");
            Print(stderr, QStringLiteral("ostrel: ") + text + u'\n');
            QMessageBox::warning(nullptr, kApplicationTitle, text);
            return ExitNotHandedOver;
        }
        case SingleInstance::Claim::First:
        case SingleInstance::Claim::None:
            break;
    }
    return std::nullopt;
}

void OpenWithWindow(MainWindow& window, SingleInstance& instance, const StartupOptions& options) {
    // Deferred to the event loop: the window is painted first, and a hand-over is never
    // probed inside the socket's own signal.
    QObject::connect(&instance, &SingleInstance::filesReceived, &window, [&window, &instance] {
        QTimer::singleShot(0, &window,
                           [&window, &instance] { OpenFiles(window, instance.TakeReceived()); });
    });
    const QStringList paths = options.Files + instance.TakeReceived();
    if (!paths.isEmpty()) {
        QTimer::singleShot(0, &window, [&window, paths] { OpenFiles(window, paths); });
    }
}

void OpenFiles(MainWindow& window, const QStringList& paths) {
    window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window.raise();
    window.activateWindow();
    window.AddDroppedFiles(paths);
}

}  // namespace ostrel
