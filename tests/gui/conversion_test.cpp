// The road from OK to the notice: the run with a scripted encoder (progress texts, refused
// files, Stop, the end of the run, the notice's click zones), then with the real engine.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMetaObject>
#include <QPointer>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <memory>

#include "app/completion_notice.h"
#include "app/conversion_ui.h"
#include "app/format_dialog.h"
#include "app/progress_window.h"
#include "app/ui_poster.h"
#include "common/engine_path.h"
#include "conversion/when_done.h"
#include "engine/loader/engine_loader.h"
#include "fake_encoder.h"
#include "file_rows.h"
#include "shown_text.h"

using namespace ostrel;

namespace {

using Outcome = engine::TaskOutcome;
using testing::Shown;
using testing::VideoFileRow;

// Runs the engine events that have been posted to the UI thread.
void Deliver() {
    QCoreApplication::processEvents();
}

// Every file of a folder, the hidden ones (temporary outputs) included.
QStringList FilesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

QString Cell(FormConverting* window, int row, int column) {
    const QAbstractItemModel* model = window->List()->model();
    return model->index(row, column).data().toString();
}

QAction* FindProfileAction(QMenu* menu, const QString& caption) {
    for (QAction* action : menu->findChildren<QAction*>()) {
        if (action->text() == caption && action->data().isValid()) {
            return action;
        }
    }
    return nullptr;
}

// Everything one run needs: a main window, the conversion, and recorders for what would
// otherwise open message boxes, folder choosers and file managers.
struct Harness {
    // The encoder's events are posted onto the UI thread, as the main window does.
    explicit Harness(engine::Encoder& encoderIn) : encoder(encoderIn) {
        encoder.SetEventPoster(UiThreadPoster());
        QVERIFY(outputDir.isValid());
        outputFolder = outputDir.path();
        ui = std::make_unique<ConversionUi>(&mainWindow, encoder, outputFolder);
        notice = ui->Notice();
        QVERIFY(notice != nullptr);
        notice->SetFolderOpener([this](const QString& folder) { opened << "notice " + folder; });
        ui->SetSoundPlayer([this] { ++sounds; });
    }

    // Convert, then OK in the dialog.
    FormConverting* Run(const QList<FileRow>& rows, const QString& profile = {},
                        int cpuIndex = -1) {
        ui->Convert(rows);
        dialog = mainWindow.findChild<FormVideoFormat*>();
        if (dialog == nullptr) {
            return nullptr;
        }
        dialog->SetErrorMessageFunction(
            [this](QWidget*, const QString& caption, const QString& text) {
                messages << caption + QLatin1Char('|') + text;
            });
        dialog->SetFolderChooser([](QWidget*) { return QString(); });
        if (!profile.isEmpty()) {
            FindProfileAction(dialog->ProfileMenu(), profile)->trigger();
        }
        if (cpuIndex >= 0) {
            dialog->Model().SelectCpu(cpuIndex);
        }
        const QList<FormConverting*> before = mainWindow.findChildren<FormConverting*>();
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("BtnOK")), Qt::LeftButton);
        window = nullptr;
        for (FormConverting* made : mainWindow.findChildren<FormConverting*>()) {
            if (!before.contains(made)) {
                window = made;
            }
        }
        if (window != nullptr) {
            window->SetFolderOpener(
                [this](const QString& folder) { opened << "button " + folder; });
        }
        return window;
    }

    QString In(const QString& name) const { return inputDir.path() + QLatin1Char('/') + name; }
    QString Out(const QString& name) const { return outputDir.path() + QLatin1Char('/') + name; }

    engine::Encoder& encoder;
    QTemporaryDir inputDir;
    QTemporaryDir outputDir;
    QWidget mainWindow;
    QString outputFolder;
    std::unique_ptr<ConversionUi> ui;
    QPointer<FormVideoFormat> dialog;
    QPointer<FormConverting> window;
    QPointer<CompletionNotice> notice;
    QStringList messages;
    QStringList opened;
    int sounds = 0;
};

// Makes a short test clip with the ffmpeg tool.
bool MakeClip(const QString& path, double seconds) {
    const QString length = QString::number(seconds);
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {"-v",
                  "error",
                  "-y",
                  "-f",
                  "lavfi",
                  "-i",
                  "testsrc2=size=320x240:rate=25:duration=" + length,
                  "-f",
                  "lavfi",
                  "-i",
                  "sine=frequency=440:sample_rate=44100:duration=" + length,
                  "-c:v",
                  "mpeg4",
                  "-q:v",
                  "5",
                  "-c:a",
                  "aac",
                  "-ac",
                  "2",
                  "-shortest",
                  path});
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitStatus() == QProcess::NormalExit &&
           ffmpeg.exitCode() == 0;
}

// The streams of a media file as ffprobe reports them.
QJsonArray ProbeStreams(const QString& path) {
    QProcess ffprobe;
    ffprobe.start(QStringLiteral("ffprobe"),
                  {"-v", "error", "-show_entries",
                   "stream=codec_type,codec_name,width,height,channels", "-of", "json", path});
    if (!ffprobe.waitForFinished(30000)) {
        return {};
    }
    return QJsonDocument::fromJson(ffprobe.readAllStandardOutput())
        .object()
        .value(QStringLiteral("streams"))
        .toArray();
}

// The real engine's conversion queue.
std::unique_ptr<engine::Encoder> RealEncoder() {
    if (!LoadEngine(OSTREL_ENGINE_FOLDER)) {
        qWarning("engine: %s", EngineLoadError().c_str());
        return nullptr;
    }
    return CreateEncoder();
}

}  // namespace

class ConversionTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void runFollowsTheEncodersEvents();
    void stopTwiceThenClose();
    void closeBoxStopsTheEncoder();
    void eventsOfAClosedRunMissTheNext();
    void filesThatCannotBeOpenedStillGetRows();
    void dialogIsCreatedOnce();
    void noticeClickZones_data();
    void noticeClickZones();
    void noticeTakesClicksWhileTheProgressWindowIsOpen();
    void endOfRunSaysWhatHappened_data();
    void endOfRunSaysWhatHappened();
    void longErrorsCanBeReadAndCopied();
    void manyFilesFollowTheRunAsAWhole();
    void realEngineConvertsThroughTheDialog();
    void staysResponsiveWithTwentyFiles();
};

void ConversionTest::initTestCase() {
    // The completion sound is not under test; a driver name that does not exist keeps the
    // sound library from probing the machine's audio devices.
    qputenv("CANBERRA_DRIVER", "none");
}

void ConversionTest::runFollowsTheEncodersEvents() {
    testing::FakeEncoder encoder;
    Harness h(encoder);
    const QString a = h.In("a.avi"), b = h.In("b.avi"), c = h.In("c.avi");
    encoder.refused.insert(ToEnginePath(b));
    FormConverting* window = h.Run({VideoFileRow(a), VideoFileRow(b), VideoFileRow(c)}, {}, 1);
    QVERIFY(window != nullptr);

    QCOMPARE(h.outputFolder, h.outputDir.path() + QLatin1Char('/'));
    QCOMPARE(h.messages, QStringList{"Error|Cannot convert." + h.Out("b.mp4") +
                                     "\nError: Unsupported codec\n"
                                     "Please try to convert it to another format"});
    QVERIFY(!h.dialog->isVisible());
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("Please wait..."));
    QCOMPARE(encoder.startThreads, 2);
    QCOMPARE(encoder.calls.back(), std::string("StartTasks 2"));

    const auto* header = window->List()->model();
    QCOMPARE(header->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Output File Name"));
    QCOMPARE(header->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Progress"));
    QCOMPARE(header->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Status"));
    QCOMPARE(header->rowCount(), 3);
    const QStringList planned = {h.Out("a.mp4"), h.Out("b.mp4"), h.Out("c.mp4")};
    for (int row = 0; row < 3; ++row) {
        QCOMPARE(Cell(window, row, 0), QDir::toNativeSeparators(planned[row]));
    }
    QCOMPARE(Cell(window, 1, 2), QStringLiteral("Error: Unsupported codec"));

    encoder.Progress(0, 459'000, 1'000'000);
    QCOMPARE(Cell(window, 0, 1), QString());  // queued, not delivered yet
    Deliver();
    QCOMPARE(Cell(window, 0, 1), QStringLiteral("45%"));
    QCOMPARE(Cell(window, 0, 2), QStringLiteral("Converting..."));
    encoder.Progress(1, 500, 1000);  // the engine's second task is the third file
    Deliver();
    QCOMPARE(Cell(window, 2, 1), QStringLiteral("50%"));
    QCOMPARE(Cell(window, 1, 2), QStringLiteral("Error: Unsupported codec"));
    encoder.Finished(1, Outcome::Succeeded);
    Deliver();
    QCOMPARE(Cell(window, 2, 1), QStringLiteral("100%"));
    QCOMPARE(Cell(window, 2, 2), QStringLiteral("OK"));
    encoder.Finished(0, Outcome::Failed, "Invalid data found when processing input");
    Deliver();
    QCOMPARE(Cell(window, 0, 2), QStringLiteral("Error: Invalid data found when processing input"));
    QVERIFY(!window->OpenButton()->isEnabled());
    QVERIFY(!h.notice->isVisible());

    encoder.QueueEnded();
    Deliver();
    // One file converted, one refused, one failed: the run does not call itself a success.
    QCOMPARE(window->windowTitle(), QStringLiteral("Convert Finished with errors!"));
    QCOMPARE(Shown(window->StopButton()->text()), QStringLiteral("Close"));
    QVERIFY(window->OpenButton()->isEnabled());
    QCOMPARE(window->focusWidget(), window->OpenButton());
    QVERIFY(h.notice->isVisible());
    QCOMPARE(
        h.notice->Message(),
        QStringLiteral("1 of 3 files converted, 2 failed. Click here to open the output folder"));
    QCOMPARE(h.notice->width(), 220);
    QVERIFY(h.notice->height() >= 70);
    const QRect screen = QApplication::primaryScreen()->availableGeometry();
    QVERIFY(screen.contains(h.notice->frameGeometry()));
    QVERIFY(h.notice->frameGeometry().right() > screen.right() - 20);
    QVERIFY(h.notice->frameGeometry().bottom() > screen.bottom() - 20);

    QTest::mouseClick(window->OpenButton(), Qt::LeftButton);
    QCOMPARE(h.opened, QStringList{"button " + h.outputFolder});

    const int stopsBefore = encoder.stopCount;
    QTest::mouseClick(window->StopButton(), Qt::LeftButton);  // "Close": one press closes
    QTRY_VERIFY(h.window == nullptr);
    QCOMPARE(encoder.stopCount, stopsBefore + 2);  // the press and the closing
    QVERIFY(h.notice->isVisible());                // the notice outlives the window
}

void ConversionTest::stopTwiceThenClose() {
    testing::FakeEncoder encoder;
    Harness h(encoder);
    FormConverting* window = h.Run({VideoFileRow(h.In("a.avi")), VideoFileRow(h.In("b.avi"))});
    QVERIFY(window != nullptr);
    encoder.Progress(0, 100, 1000);
    Deliver();

    QTest::mouseClick(window->StopButton(), Qt::LeftButton);
    QCOMPARE(encoder.stopCount, 1);
    QCOMPARE(encoder.calls.back(), std::string("StopTasks 0"));
    QCOMPARE(Shown(window->StopButton()->text()), QStringLiteral("Close"));
    QVERIFY(window->isVisible());
    QVERIFY(!window->OpenButton()->isEnabled());  // not before the queue has ended
    QCOMPARE(window->windowTitle(), QStringLiteral("Please wait..."));

    encoder.Progress(0, 300, 1000);
    Deliver();
    QCOMPARE(Cell(window, 0, 2), QStringLiteral("Canceled"));
    QCOMPARE(Cell(window, 0, 1), QStringLiteral("10%"));
    encoder.Finished(1, Outcome::Succeeded);  // a task that finished anyway still shows it
    Deliver();
    QCOMPARE(Cell(window, 1, 2), QStringLiteral("OK"));

    QTest::mouseClick(window->StopButton(), Qt::LeftButton);
    QCOMPARE(encoder.stopCount, 3);  // the second press, and the closing
    QTRY_VERIFY(h.window == nullptr);
    // The queue never reported its end: the notice still tells how the run ended.
    QVERIFY(h.notice->isVisible());
    QCOMPARE(h.notice->Message(),
             "Stopped: 1 of 2 files converted. Click here to open the output folder");
    QCOMPARE(h.sounds, 0);
}

void ConversionTest::closeBoxStopsTheEncoder() {
    testing::FakeEncoder encoder;
    Harness h(encoder);
    FormConverting* window = h.Run({VideoFileRow(h.In("a.avi"))});
    QVERIFY(window != nullptr);
    // A stray Escape leaves the run going; only the close box stops it.
    QTest::keyClick(window, Qt::Key_Escape);
    QVERIFY(window->isVisible());
    QCOMPARE(encoder.stopCount, 0);
    window->close();
    QCOMPARE(encoder.stopCount, 1);
    QTRY_VERIFY(h.window == nullptr);
    QVERIFY(h.notice->isVisible());
    QCOMPARE(h.notice->Message(),
             "Stopped: 0 of 1 file converted. Click here to open the output folder");
    h.notice->hide();
    // A late event of the stopped run reaches nothing that is gone.
    encoder.Progress(0, 1, 2);
    encoder.QueueEnded();
    Deliver();
    QVERIFY(!h.notice->isVisible());
    QCOMPARE(h.sounds, 0);
}

// Events the encoder posted for a run whose window has closed reach neither that run nor the
// next one.
void ConversionTest::eventsOfAClosedRunMissTheNext() {
    testing::FakeEncoder encoder;
    Harness h(encoder);
    FormConverting* first = h.Run({VideoFileRow(h.In("a.avi"))});
    QVERIFY(first != nullptr);
    encoder.Progress(0, 500, 1000);
    encoder.QueueEnded(Outcome::Stopped);
    first->close();
    h.notice->hide();  // the first run's notice
    FormConverting* second = h.Run({VideoFileRow(h.In("b.avi"))});
    QVERIFY(second != nullptr && second != first);
    Deliver();
    QTRY_COMPARE(h.mainWindow.findChildren<FormConverting*>().size(), 1);
    QCOMPARE(Cell(second, 0, 1), QString());
    QCOMPARE(second->windowTitle(), QStringLiteral("Please wait..."));
    QVERIFY(!h.notice->isVisible());
    encoder.Progress(0, 250, 1000);
    Deliver();
    QCOMPARE(Cell(second, 0, 1), QStringLiteral("25%"));
    second->close();
}

void ConversionTest::filesThatCannotBeOpenedStillGetRows() {
    testing::FakeEncoder encoder;
    Harness h(encoder);
    const QString a = h.In("a b.avi"), b = h.In("b.avi");
    encoder.unopenable = {ToEnginePath(a), ToEnginePath(b)};
    FormConverting* window = h.Run({VideoFileRow(a), VideoFileRow(b)});
    QVERIFY(window != nullptr);
    QCOMPARE(h.messages.size(), 2);
    QCOMPARE(h.messages[0], "Ostrel Media Converter|Can not open file: \n" + a +
                                "\n\nError: \nNo such file or directory");
    QCOMPARE(window->List()->model()->rowCount(), 2);
    QCOMPARE(Cell(window, 1, 2), QStringLiteral("Error: No such file or directory"));
    // Nothing was queued, so no end of the queue will come: the window does not wait for it.
    QCOMPARE(encoder.calls.back().substr(0, 11), std::string("StartTasks "));
    QCOMPARE(Shown(window->StopButton()->text()), QStringLiteral("Close"));
    QCOMPARE(window->windowTitle(), QStringLiteral("Convert Finished with errors!"));
    QVERIFY(window->OpenButton()->isEnabled());
    QVERIFY(h.notice->isVisible());
    QCOMPARE(h.notice->Message(),
             "0 of 2 files converted, 2 failed. Click here to open the output folder");
    QCOMPARE(h.sounds, 1);
    // The run is over: Escape closes the window, without a second notice.
    h.notice->hide();
    QTest::keyClick(window, Qt::Key_Escape);
    QTRY_VERIFY(h.window == nullptr);
    QVERIFY(!h.notice->isVisible());
}

void ConversionTest::dialogIsCreatedOnce() {
    testing::FakeEncoder encoder;
    Harness h(encoder);
    h.ui->Convert({VideoFileRow(h.In("a.avi"))});
    auto* first = h.mainWindow.findChild<FormVideoFormat*>();
    QVERIFY(first != nullptr);
    QVERIFY(first->isVisible());
    QVERIFY(first->isModal());
    FindProfileAction(first->ProfileMenu(), "iPhone - H.264 Video")->trigger();
    first->reject();
    h.ui->Convert({VideoFileRow(h.In("a.avi"))});
    QCOMPARE(h.mainWindow.findChildren<FormVideoFormat*>().size(), 1);
    QCOMPARE(first->Model().FormatCaption(), QStringLiteral("iPhone - H.264 Video"));
    QVERIFY(encoder.calls.empty());
}

void ConversionTest::noticeClickZones_data() {
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<bool>("staysOpen");
    QTest::addColumn<bool>("opensFolder");
    QTest::newRow("title") << QPoint(60, 12) << true << false;
    QTest::newRow("background") << QPoint(8, 60) << true << false;
    QTest::newRow("right of the title") << QPoint(185, 12) << true << false;
    QTest::newRow("close button") << QPoint(209, 11) << false << false;
    QTest::newRow("message") << QPoint(110, 40) << false << true;
}

void ConversionTest::noticeClickZones() {
    QFETCH(QPoint, point);
    QFETCH(bool, staysOpen);
    QFETCH(bool, opensFolder);
    CompletionNotice notice;
    QStringList opened;
    notice.SetFolderOpener([&opened](const QString& folder) { opened << folder; });
    notice.ShowNotice(QStringLiteral("/srv/out/"));
    QVERIFY(notice.isVisible());
    QTest::mouseClick(&notice, Qt::LeftButton, {}, point);
    QCOMPARE(notice.isVisible(), staysOpen);
    QCOMPARE(opened, opensFolder ? QStringList{"/srv/out/"} : QStringList{});
}

// The run ends with the progress window still open: the notice is not blocked by it, and a
// click on its message opens the output folder.
void ConversionTest::noticeTakesClicksWhileTheProgressWindowIsOpen() {
    testing::FakeEncoder encoder;
    Harness h(encoder);
    h.mainWindow.show();
    QVERIFY(QTest::qWaitForWindowExposed(&h.mainWindow));
    FormConverting* window = h.Run({VideoFileRow(h.In("a.avi"))});
    QVERIFY(window != nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    encoder.Finished(0, Outcome::Succeeded);
    encoder.QueueEnded();
    Deliver();
    QVERIFY(window->isVisible());
    QVERIFY(h.notice->isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(h.notice));
    // Through the window system, where a modal window blocks the windows it covers.
    QTest::mouseClick(h.notice->windowHandle(), Qt::LeftButton, {}, QPoint(110, 40));
    QCOMPARE(h.opened, QStringList{"notice " + h.outputFolder});
    QVERIFY(!h.notice->isVisible());
    // The main window itself still waits for the progress window.
    QVERIFY(window->isModal());
    window->close();
}

void ConversionTest::endOfRunSaysWhatHappened_data() {
    QTest::addColumn<QList<int>>("outcomes");  // per file: an engine outcome, or -1 for none
    QTest::addColumn<int>("stopAfter");        // press Stop after this many outcomes; -1: never
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("notice");
    QTest::addColumn<bool>("sound");
    QTest::addColumn<bool>("quits");  // whether "When done: Quit" closes the main window
    const int ok = static_cast<int>(Outcome::Succeeded);
    const int failed = static_cast<int>(Outcome::Failed);
    const int stopped = static_cast<int>(Outcome::Stopped);
    QTest::newRow("all converted")
        << QList<int>{ok, ok} << -1 << "Convert Finished!"
        << "Convert Finished. Click here to open the output folder" << true << true;
    QTest::newRow("stopped")
        << QList<int>{ok, ok, stopped, stopped, stopped} << 2 << "Convert Stopped!"
        << "Stopped: 2 of 5 files converted. Click here to open the output folder" << false
        << false;
    QTest::newRow("with failures")
        << QList<int>{ok, failed, ok, failed, ok} << -1 << "Convert Finished with errors!"
        << "3 of 5 files converted, 2 failed. Click here to open the output folder" << true
        << false;
}

// The caption, the notice and the sound tell a finished run from a stopped one and from one
// with failures.
void ConversionTest::endOfRunSaysWhatHappened() {
    QFETCH(QList<int>, outcomes);
    QFETCH(int, stopAfter);
    QFETCH(QString, caption);
    QFETCH(QString, notice);
    QFETCH(bool, sound);
    QFETCH(bool, quits);
    testing::FakeEncoder encoder;
    Harness h(encoder);
    QList<FileRow> rows;
    for (int i = 0; i < outcomes.size(); ++i) {
        rows.append(VideoFileRow(h.In(QStringLiteral("f%1.avi").arg(i))));
    }
    FormConverting* window = h.Run(rows);
    QVERIFY(window != nullptr);
    h.mainWindow.show();
    window->WhenDoneBox()->setCurrentIndex(static_cast<int>(WhenDone::Quit));
    for (int task = 0; task < outcomes.size(); ++task) {
        if (task == stopAfter) {
            QTest::mouseClick(window->StopButton(), Qt::LeftButton);
        }
        encoder.Finished(task, static_cast<Outcome>(outcomes[task]), "Conversion failed");
        Deliver();
    }
    encoder.QueueEnded();
    Deliver();
    QCOMPARE(window->windowTitle(), caption);
    const auto converted = static_cast<int>(outcomes.count(static_cast<int>(Outcome::Succeeded)));
    QVERIFY2(window->RunLabel()->text().startsWith(
                 QStringLiteral("%1 of %2 files converted").arg(converted).arg(outcomes.size())),
             qPrintable(window->RunLabel()->text()));
    QVERIFY(h.notice->isVisible());
    QCOMPARE(h.notice->Message(), notice);
    QCOMPARE(h.sounds, sound ? 1 : 0);
    // The whole message fits in the notice.
    const QRect message = h.notice->ItemRect(CompletionNotice::Item::Message);
    const QRect needed = h.notice->fontMetrics().boundingRect(
        QRect(message.left(), message.top(), message.width(), 1000),
        Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, notice);
    QVERIFY(needed.bottom() < h.notice->height());
    QCOMPARE(h.notice->width(), CompletionNotice::kWidth);
    // Only a run that converted every file acts on the choice.
    QTest::qWait(20);
    QCOMPARE(h.mainWindow.isVisible(), !quits);
    window->WhenDoneBox()->setCurrentIndex(static_cast<int>(WhenDone::Nothing));
    window->close();
}

// An error longer than its cell is shown whole: the status column takes the room it needs,
// a click on the row shows the text in full, and "Copy Error" puts it on the clipboard.
void ConversionTest::longErrorsCanBeReadAndCopied() {
    testing::FakeEncoder encoder;
    Harness h(encoder);
    FormConverting* window = h.Run({VideoFileRow(h.In("a.avi")), VideoFileRow(h.In("b.avi"))});
    QVERIFY(window != nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const QString reason = QStringLiteral("Cannot open the output: No such file or directory");
    encoder.Finished(0, Outcome::Failed, reason.toStdString());
    Deliver();
    const QString status = QStringLiteral("Error: ") + reason;
    QCOMPARE(Cell(window, 0, 2), status);

    QTreeView* list = window->List();
    QHeaderView* header = list->header();
    for (int column = 0; column < 3; ++column) {
        QCOMPARE(header->sectionResizeMode(column), QHeaderView::Interactive);
    }
    QVERIFY2(header->sectionSize(2) >= list->fontMetrics().horizontalAdvance(status),
             qPrintable(QString::number(header->sectionSize(2))));
    QVERIFY(header->sectionSize(0) >= 150);  // the names keep a readable width
    QCOMPARE(list->model()->index(0, 2).data(Qt::ToolTipRole).toString(), status);

    // One click shows the whole text, selectable; a row that did not fail shows nothing.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(0, 0)).center());
    QVERIFY(window->StatusDetails()->isVisible());
    QCOMPARE(window->StatusDetails()->text(), status);
    QVERIFY(window->StatusDetails()->textInteractionFlags() & Qt::TextSelectableByMouse);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(1, 0)).center());
    QVERIFY(!window->StatusDetails()->isVisible());

    QApplication::clipboard()->clear();
    std::unique_ptr<QMenu> menu(window->ContextMenuFor(0));
    auto* copy = menu->findChild<QAction*>(QStringLiteral("CopyError"));
    QVERIFY(copy != nullptr);
    QCOMPARE(copy->text(), QStringLiteral("Copy Error"));
    QVERIFY(copy->isEnabled());
    copy->trigger();
    QCOMPARE(QApplication::clipboard()->text(), status);
    std::unique_ptr<QMenu> other(window->ContextMenuFor(1));
    QVERIFY(!other->findChild<QAction*>(QStringLiteral("CopyError"))->isEnabled());

    // A width the user drags stays when a longer error comes.
    QWidget* handles = header->viewport();
    const int edge = header->sectionViewportPosition(1);
    const int middle = handles->height() / 2;
    QTest::mousePress(handles, Qt::LeftButton, {}, QPoint(edge, middle));
    QTest::mouseMove(handles, QPoint(edge - 60, middle));
    QTest::mouseRelease(handles, Qt::LeftButton, {}, QPoint(edge - 60, middle));
    const int dragged = header->sectionSize(0);
    QVERIFY(dragged < edge);
    encoder.Finished(1, Outcome::Failed, std::string(120, 'x'));
    Deliver();
    QCOMPARE(header->sectionSize(0), dragged);
    window->close();
}

// With fifty files the window follows the file being converted, unless the user scrolled
// away, and tells how far the whole run has come.
void ConversionTest::manyFilesFollowTheRunAsAWhole() {
    testing::FakeEncoder encoder;
    Harness h(encoder);
    QList<FileRow> rows;
    for (int i = 0; i < 50; ++i) {
        FileRow row = VideoFileRow(h.In(QStringLiteral("clip %1.avi").arg(i)));
        row.DurationSeconds = 10;
        rows.append(row);
    }
    FormConverting* window = h.Run(rows);
    QVERIFY(window != nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QTreeView* list = window->List();
    const auto shown = [list](int row) {
        return list->viewport()->rect().contains(list->visualRect(list->model()->index(row, 0)));
    };
    QVERIFY(window->RunLabel()->text().startsWith(QStringLiteral("0 of 50 files done")));
    QVERIFY(!shown(30));

    for (int task = 0; task < 30; ++task) {
        encoder.Finished(task, Outcome::Succeeded);
    }
    encoder.Progress(30, 5'000'000, 10'000'000);
    Deliver();
    QVERIFY(shown(30));
    QVERIFY(window->RunLabel()->text().startsWith(QStringLiteral("30 of 50 files done")));
    QVERIFY(window->RunLabel()->text().contains(QStringLiteral("Elapsed ")));
    QCOMPARE(window->RunBar()->value(), 61);  // 305 of 500 seconds

    // The user scrolls to the top: the window leaves them there.
    list->scrollToTop();
    encoder.Finished(30, Outcome::Succeeded);
    encoder.Progress(31, 1'000'000, 10'000'000);
    Deliver();
    QVERIFY(shown(0));
    QVERIFY(!shown(31));
    // Back at the row being converted, the window follows again.
    list->scrollTo(list->model()->index(31, 0));
    encoder.Finished(31, Outcome::Succeeded);
    encoder.Progress(45, 1'000'000, 10'000'000);
    Deliver();
    QVERIFY(shown(45));
    window->close();
}

void ConversionTest::realEngineConvertsThroughTheDialog() {
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty()) {
        QSKIP("the ffmpeg and ffprobe tools are needed to make and check the clips");
    }
    std::unique_ptr<engine::Encoder> encoder = RealEncoder();
    QVERIFY2(encoder != nullptr, "the engine module could not be loaded");
    Harness h(*encoder);
    const QString plain = h.In("plain.mp4");
    const QString fancy = h.In(QStringLiteral("Übung – kurzer Clip é.mkv"));
    QVERIFY(MakeClip(plain, 1.2));
    QVERIFY(MakeClip(fancy, 1.5));

    FormConverting* window = h.Run({VideoFileRow(plain), VideoFileRow(fancy)},
                                   QStringLiteral("iPhone - H.264 Video"), 0);
    QVERIFY(window != nullptr);
    QVERIFY2(h.messages.isEmpty(), qPrintable(h.messages.join(QLatin1Char('\n'))));
    QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(), QStringLiteral("Convert Finished!"), 60000);

    const QStringList outputs = {h.Out("plain.mp4"),
                                 h.Out(QStringLiteral("Übung – kurzer Clip é.mp4"))};
    for (int row = 0; row < 2; ++row) {
        QCOMPARE(Cell(window, row, 0), QDir::toNativeSeparators(outputs[row]));
        QCOMPARE(Cell(window, row, 1), QStringLiteral("100%"));
        QCOMPARE(Cell(window, row, 2), QStringLiteral("OK"));
        const QJsonArray streams = ProbeStreams(outputs[row]);
        QCOMPARE(streams.size(), 2);
        bool video = false, audio = false;
        for (const QJsonValue& value : streams) {
            const QJsonObject stream = value.toObject();
            if (stream.value("codec_type").toString() == QLatin1String("video")) {
                QCOMPARE(stream.value("codec_name").toString(), QStringLiteral("h264"));
                QCOMPARE(stream.value("width").toInt(), 480);
                QCOMPARE(stream.value("height").toInt(), 320);
                video = true;
            } else {
                QCOMPARE(stream.value("codec_name").toString(), QStringLiteral("aac"));
                QCOMPARE(stream.value("channels").toInt(), 2);
                audio = true;
            }
        }
        QVERIFY(video && audio);
    }
    // Nothing else was written: no temporary or partial files.
    QCOMPARE(FilesIn(h.outputDir.path()).size(), 2);
    QTRY_VERIFY(h.notice->isVisible());
    window->close();
    QTRY_VERIFY(h.window == nullptr);
}

void ConversionTest::staysResponsiveWithTwentyFiles() {
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty()) {
        QSKIP("the ffmpeg tool is needed to make the clip");
    }
    std::unique_ptr<engine::Encoder> encoder = RealEncoder();
    QVERIFY2(encoder != nullptr, "the engine module could not be loaded");
    Harness h(*encoder);
    const QString clip = h.In("short.mp4");
    QVERIFY(MakeClip(clip, 3));
    QList<FileRow> rows;
    for (int i = 0; i < 20; ++i) {
        rows.append(VideoFileRow(clip));  // twenty tasks; the planned names keep them apart
    }
    FormConverting* window = h.Run(rows, QStringLiteral("iPhone - H.264 Video"), 1);
    QVERIFY(window != nullptr);
    QCOMPARE(window->List()->model()->rowCount(), 20);
    QCOMPARE(Cell(window, 19, 0), QDir::toNativeSeparators(h.Out("short (19).mp4")));

    // While both workers convert, the UI thread keeps turning: a 20 ms timer never waits
    // long and the list repaints.
    QTRY_VERIFY_WITH_TIMEOUT(Cell(window, 0, 2) == QLatin1String("Converting...") ||
                                 Cell(window, 1, 2) == QLatin1String("Converting..."),
                             20000);
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            paints += event->type() == QEvent::Paint ? 1 : 0;
            return false;
        }
    } counter;
    window->List()->viewport()->installEventFilter(&counter);
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longestGapMs = 0;
    QTimer ticker;
    ticker.setInterval(20);
    connect(&ticker, &QTimer::timeout, &ticker, [&] {
        longestGapMs = qMax(longestGapMs, clock.elapsed() - last);
        last = clock.elapsed();
    });
    clock.start();
    ticker.start();
    QTest::qWait(1000);
    ticker.stop();
    QVERIFY2(longestGapMs < 2000, qPrintable(QString::number(longestGapMs)));
    QVERIFY(counter.paints > 0);

    // Stop answers at once, and the engine reports the end of the queue soon after. The limits
    // are generous: the machine is shared; the times are printed below.
    QElapsedTimer stopClock;
    stopClock.start();
    QTest::mouseClick(window->StopButton(), Qt::LeftButton);
    QVERIFY(stopClock.elapsed() < 1000);
    QTRY_VERIFY_WITH_TIMEOUT(window->windowTitle() == QLatin1String("Convert Stopped!"), 5000);
    QVERIFY2(stopClock.elapsed() < 3000, qPrintable(QString::number(stopClock.elapsed())));
    qInfo(
        "longest wait of the UI thread %lld ms, %d repaints of the list in 1 s, queue ended "
        "%lld ms after Stop",
        longestGapMs, counter.paints, stopClock.elapsed());
    QVERIFY(Cell(window, 19, 2) != QLatin1String("OK"));  // the run did not just finish
    QStringList finished;
    for (int row = 0; row < 20; ++row) {
        if (Cell(window, row, 2) == QLatin1String("OK")) {
            finished.append(QFileInfo(Cell(window, row, 0)).fileName());
        }
    }
    window->close();
    QTRY_VERIFY(h.window == nullptr);
    // A stopped task leaves neither a partial nor a temporary output behind; only the outputs
    // of the finished rows are there.
    QStringList written = FilesIn(h.outputDir.path());
    written.sort();
    finished.sort();
    QCOMPARE(written, finished);
}

QTEST_MAIN(ConversionTest)
#include "conversion_test.moc"
