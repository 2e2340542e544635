// ostrel: the converter's window. Start-up only; the main window does the rest.
#include <QApplication>
#include <QTimer>
#include <memory>

#include "app/app_shell.h"
#include "app/icons.h"
#include "app/main_window.h"
#include "app/open_with.h"
#include "app/startup_options.h"
#include "app/translations.h"
#include "common/engine_path.h"
#include "desktop/single_instance.h"
#include "filelist/list_store.h"

int main(int argc, char* argv[]) {
    if (const std::optional<int> status = ostrel::AnswerInfoSwitches(argc, argv)) {
        return *status;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(ostrel::kApplicationTitle);
    QApplication::setOrganizationName(QStringLiteral("Ostrel Software"));
    QApplication::setWindowIcon(ostrel::AppIcon());
    QGuiApplication::setDesktopFileName(ostrel::kDesktopEntryId);
    ostrel::LoadTranslations(app, QCoreApplication::applicationDirPath());

    // From argv's bytes (what QApplication left of it), so that names that are not UTF-8 stay
    // whole.
    const ostrel::StartupOptions options =
        ostrel::ParseStartupOptions(ostrel::ArgumentsOf(argc, argv));
    ostrel::SingleInstance instance;
    if (const std::optional<int> status = ostrel::HandToRunningWindow(instance, options)) {
        return *status;
    }
    std::unique_ptr<ostrel::Shell> shell;
    if (options.Bench) {
        shell = ostrel::MakeQuietShell();
    } else {
        shell = std::make_unique<ostrel::DesktopShell>();
    }

    ostrel::MainWindow window(*shell, ostrel::EngineBinding::Module(),
                              QCoreApplication::applicationDirPath());
    window.SetStatePaths(ostrel::DefaultListPath(), ostrel::DefaultRunJournalPath());
    if (!window.Start()) {
        return 1;
    }
    window.show();
    ostrel::OpenWithWindow(window, instance, options);

    if (!options.AddFolder.isEmpty()) {
        QTimer::singleShot(0, &window, [&window, &options] {
            const int status = ostrel::AddFolderFiles(window, options);
            if (options.Bench) {
                QCoreApplication::exit(status);
            }
        });
    }
    return QApplication::exec();
}
