// The end of a run: what the window, the notice and the sound say, "When done", long errors, many
// files as a whole, and the run with the real engine.
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

class ConversionEndTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void endOfRunSaysWhatHappened_data();
    void endOfRunSaysWhatHappened();
    void longErrorsCanBeReadAndCopied();
    void manyFilesFollowTheRunAsAWhole();
    void realEngineConvertsThroughTheDialog();
    void staysResponsiveWithTwentyFiles();
};

void ConversionEndTest::initTestCase() {
    // The completion sound is not under test; a driver name that does not exist keeps the
    // sound library from probing the machine's audio devices.
    qputenv("CANBERRA_DRIVER", "none");
}

void ConversionEndTest::endOfRunSaysWhatHappened_data() {
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
void ConversionEndTest::endOfRunSaysWhatHappened() {
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
void ConversionEndTest::longErrorsCanBeReadAndCopied() {
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
void ConversionEndTest::manyFilesFollowTheRunAsAWhole() {
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

void ConversionEndTest::realEngineConvertsThroughTheDialog() {
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

void ConversionEndTest::staysResponsiveWithTwentyFiles() {
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

QTEST_MAIN(ConversionEndTest)
#include "conversion_end_test.moc"
