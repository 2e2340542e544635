// The road from OK to the notice with a scripted encoder: progress texts, refused files, Stop,
// the close box, and the notice's click zones.
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
#include "conversion_harness.h"
#include "engine/loader/engine_loader.h"
#include "fake_encoder.h"
#include "file_rows.h"
#include "shown_text.h"

using namespace ostrel;
using namespace ostrel::testing;

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

QTEST_MAIN(ConversionTest)
#include "conversion_test.moc"
