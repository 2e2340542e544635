// The window as a desktop application: "Open With" (the window started with files, later
// `ostrel` processes handing theirs over) and the machine kept awake during a run, against a
// fake inhibitor service on the private bus the test runs on.
#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <memory>

#include "app/app_shell.h"
#include "app/conversion_ui.h"
#include "app/format_dialog.h"
#include "app/main_window.h"
#include "app/open_with.h"
#include "app/progress_window.h"
#include "app/startup_options.h"
#include "app/ui_poster.h"
#include "app/update_check.h"
#include "common/settings_store.h"
#include "desktop/single_instance.h"
#include "fake_encoder.h"
#include "fake_engine.h"
#include "fake_inhibitor.h"
#include "file_rows.h"

using namespace ostrel;
using ostrel::testing::FakeInhibitor;

namespace {

// Records the window's messages instead of showing them.
class RecordingShell : public Shell {
  public:
    QStringList messages;

    void Inform(QWidget*, MessageIcon, const QString& text) override { messages.append(text); }
    bool AskYesNo(QWidget*, const QString&) override { return false; }
    QStringList ChooseFiles(QWidget*, const QString&, const QStringList&) override { return {}; }
    void OpenUrl(const QUrl&) override {}
    void RunModal(QDialog&) override {}
    void EndProcess() override {}
};

QStringList FileNames(const FileListModel& model) {
    QStringList names;
    for (const FileRow& row : model.Rows()) {
        names.append(row.FileName);
    }
    return names;
}

// A later `ostrel` started from the file manager or a terminal.
struct LaterInstance {
    int exitCode = -1;
    QString error;
};

LaterInstance RunOstrel(const QStringList& arguments, const QString& workingFolder) {
    QProcess process;
    process.setWorkingDirectory(workingFolder);
    process.start(QStringLiteral(OSTREL_PATH), arguments);
    LaterInstance result;
    // The event loop runs meanwhile: the window in this process answers the hand-over.
    QElapsedTimer clock;
    clock.start();
    while (process.state() != QProcess::NotRunning && clock.elapsed() < 30000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        process.waitForFinished(10);
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.error = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

}  // namespace

class DesktopWindowTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir settingsDir_;
    QTemporaryDir runtimeDir_;
    QTemporaryDir mediaDir_;

    QString Media(const QString& name) const { return mediaDir_.filePath(name); }

  private slots:
    void initTestCase() {
        QVERIFY(settingsDir_.isValid() && runtimeDir_.isValid() && mediaDir_.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir_.path());
        WriteSetting(kSettingLastCheckUpdate, LastCheckText(QDate::currentDate()));
        // The socket of this test's window, where the `ostrel` processes it starts look too.
        qputenv("XDG_RUNTIME_DIR", runtimeDir_.path().toLocal8Bit());
        QVERIFY(QDir(mediaDir_.path()).mkdir(QStringLiteral("folder")));
    }

    void openWithAddsFilesAndLaterInstancesHandMore() {
        RecordingShell shell;
        testing::FakeEngine engine;
        engine.media[Media(QStringLiteral("bad.avi")).toStdString()].Opens = false;

        // What main() does for `ostrel a.mkv b.mp4`, with a relative path as a terminal gives.
        const QDir previous = QDir::current();
        QDir::setCurrent(mediaDir_.path());
        const StartupOptions options = ParseStartupOptions(
            {QStringLiteral("ostrel"), QStringLiteral("a.mkv"), Media(QStringLiteral("b.mp4"))});
        QDir::setCurrent(previous.path());
        SingleInstance instance;
        QCOMPARE(HandToRunningWindow(instance, options), std::nullopt);
        QVERIFY(instance.IsListening());
        MainWindow window(shell, engine.Binding(), mediaDir_.path());
        QVERIFY(window.Start());
        window.show();
        OpenWithWindow(window, instance, options);
        QTRY_COMPARE(FileNames(window.Model()),
                     QStringList({Media(QStringLiteral("a.mkv")), Media(QStringLiteral("b.mp4"))}));

        struct Case {
            const char* name;
            QStringList arguments;
            int exitCode;
            QStringList added;  // rows appended to the list
            QString message;    // the start of a message the window shows, if any
            QString error;      // what the later process says on standard error
        };
        const Case cases[] = {
            {"one more file",
             {Media(QStringLiteral("c.wav"))},
             0,
             {Media(QStringLiteral("c.wav"))},
             {},
             {}},
            {"relative path and a file: address",
             {QStringLiteral("d.ogg"),
              QUrl::fromLocalFile(Media(QStringLiteral("e.flac"))).toString()},
             0,
             {Media(QStringLiteral("d.ogg")), Media(QStringLiteral("e.flac"))},
             {},
             {}},
            {"listed already, a folder, an unreadable file",
             {Media(QStringLiteral("a.mkv")), Media(QStringLiteral("folder")),
              Media(QStringLiteral("bad.avi"))},
             0,
             {},
             QStringLiteral("Can not open file: \n") + Media(QStringLiteral("bad.avi")),
             {}},
            {"no files: the window only comes forward", {}, 0, {}, {}, {}},
            {"after --, a name with a dash is a file",
             {QStringLiteral("--"), QStringLiteral("-dash.wav")},
             0,
             {Media(QStringLiteral("-dash.wav"))},
             {},
             {}},
            {"unknown option: nothing is handed over",
             {QStringLiteral("--frobnicate"), Media(QStringLiteral("f.wav"))},
             2,
             {},
             {},
             QStringLiteral("unknown option")},
        };
        for (const Case& c : cases) {
            const QStringList before = FileNames(window.Model());
            shell.messages.clear();
            const LaterInstance later = RunOstrel(c.arguments, mediaDir_.path());
            QVERIFY2(later.exitCode == c.exitCode, c.name);
            QVERIFY2(later.error.contains(c.error), qPrintable(later.error));
            QTRY_COMPARE(FileNames(window.Model()), before + c.added);
            if (!c.message.isEmpty()) {
                QTRY_COMPARE(shell.messages.size(), 1);
                QVERIFY2(shell.messages.first().startsWith(c.message), c.name);
            } else {
                QTest::qWait(50);  // nothing comes late either
                QVERIFY2(shell.messages.isEmpty(), qPrintable(shell.messages.join(u'|')));
            }
        }
    }

    void runKeepsTheMachineAwake() {
        if (!ostrel::testing::OnPrivateBus()) {
            QSKIP("needs the private bus of dbus-run-session (run through ctest)");
        }
        enum class Ending { QueueEnds, StopThenClose, NothingQueued };
        struct Case {
            const char* name;
            Ending ending;
        };
        for (const Case c : {Case{"the run ends", Ending::QueueEnds},
                             Case{"stopped, then closed", Ending::StopThenClose},
                             Case{"every file refused", Ending::NothingQueued}}) {
            FakeInhibitor fake({QStringLiteral("--screensaver")});
            QVERIFY(fake.Ready());
            testing::FakeEncoder encoder;
            encoder.SetEventPoster(UiThreadPoster());
            QTemporaryDir outputDir;
            QString outputFolder = outputDir.path();
            QWidget mainWindow;
            ConversionUi ui(&mainWindow, encoder, outputFolder);
            const FileRow row = testing::VideoFileRow(Media(QStringLiteral("clip.avi")));
            if (c.ending == Ending::NothingQueued) {
                encoder.unopenable.insert(row.FileName.toStdString());
            }
            ui.Convert({row});
            auto* dialog = mainWindow.findChild<FormVideoFormat*>();
            QVERIFY(dialog != nullptr);
            dialog->SetErrorMessageFunction([](QWidget*, const QString&, const QString&) {});
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("BtnOK")),
                              Qt::LeftButton);
            QPointer<FormConverting> window = mainWindow.findChild<FormConverting*>();
            QVERIFY(window != nullptr);

            if (c.ending == Ending::NothingQueued) {
                QVERIFY2(fake.Rest().isEmpty(), c.name);
                continue;
            }
            QVERIFY2(fake.WaitFor(QStringLiteral("screensaver inhibit 7001"))
                         .endsWith(QStringLiteral("Ostrel Media Converter")),
                     c.name);
            if (c.ending == Ending::QueueEnds) {
                encoder.Finished(0, engine::TaskOutcome::Succeeded);
                encoder.QueueEnded();
                QCoreApplication::processEvents();  // the events arrive through the poster
            } else {
                QTest::mouseClick(window->StopButton(), Qt::LeftButton);  // Stop
                QTest::mouseClick(window->StopButton(), Qt::LeftButton);  // Close
                QTRY_VERIFY(window == nullptr);
            }
            QVERIFY2(fake.WaitFor(QStringLiteral("screensaver uninhibit")) ==
                         QStringLiteral("screensaver uninhibit 7001"),
                     c.name);
            QVERIFY2(fake.Rest().isEmpty(), c.name);
        }
    }
};

int main(int argc, char** argv) {
    ostrel::testing::UsePrivateBusAsSystemBus();
    QApplication app(argc, argv);
    DesktopWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "desktop_window_test.moc"
