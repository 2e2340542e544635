#include "conversion/conversion_run.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <vector>

#include "common/engine_path.h"
#include "common/event_queue.h"
#include "common/messages.h"
#include "conversion/run_rows_model.h"
#include "fake_encoder.h"
#include "file_rows.h"
#include "qt_printers.h"

namespace ostrel {
namespace {

using testing::FakeEncoder;
using testing::VideoFileRow;
using Outcome = engine::TaskOutcome;

struct Recorder {
    std::vector<RunMessage> messages;
    std::vector<std::string> callsAtMessage;  // the encoder's last call when a message showed
    FakeEncoder* encoder = nullptr;

    RunMessageFunction Function() {
        return [this](const RunMessage& message) {
            messages.push_back(message);
            callsAtMessage.push_back(encoder->calls.empty() ? "" : encoder->calls.back());
        };
    }
};

// The run's host as the headless converter is one: the encoder's events arrive through an
// event queue and run when the test lets them.
class ConversionRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        folder_ = dir_.path() + QLatin1Char('/');
        recorder_.encoder = &encoder_;
        encoder_.SetEventPoster(queue_.Poster());
    }

    QString In(const QString& name) const { return folder_ + QStringLiteral("in/") + name; }
    QString Out(const QString& name) const { return folder_ + name; }

    void Queue(const QList<FileRow>& rows) {
        run_.Queue(encoder_, rows, OutputSettings{}, folder_, recorder_.Function());
    }
    void Deliver() { queue_.RunPending(std::chrono::milliseconds(0)); }

    QTemporaryDir dir_;
    QString folder_;
    EventQueue queue_;
    FakeEncoder encoder_;
    Recorder recorder_;
    ConversionRun run_;
};

TEST(ProgressPercentTest, WholePerCentRoundedDown) {
    struct Case {
        std::int64_t positionUs;
        std::int64_t durationUs;
        const char* expected;
    };
    const Case cases[] = {
        {459, 1000, "45%"},
        {0, 1000, "0%"},
        {1000, 1000, "100%"},
        {1500, 1000, "100%"},  // a position beyond the stated end shows as done
        {999'999, 1'000'000, "99%"},
        {10'799'000'000LL, 10'800'000'000LL, "99%"},  // three hours
        {29, 100, "29%"},                             // no floating-point drift to 28
        {500, 0, ""},                                 // unknown length: no progress
        {500, -1, ""},
        {-5, 1000, "0%"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PercentText(ProgressPercent(c.positionUs, c.durationUs)),
                  QString::fromLatin1(c.expected))
            << c.positionUs << "/" << c.durationUs;
    }
}

TEST(RunRowTextTest, StatusAndProgressTextsFollowTheValues) {
    const struct {
        RunRowStatus status;
        std::optional<int> percent;
        const char* error;
        const char* progressText;
        const char* statusText;
        int copied = 0;
    } cases[] = {
        {RunRowStatus::None, std::nullopt, "", "", ""},
        {RunRowStatus::Converting, 45, "", "45%", "Converting..."},
        {RunRowStatus::Succeeded, 100, "", "100%", "OK"},
        {RunRowStatus::Succeeded, 100, "", "100%", "OK (video copied)", 1},
        {RunRowStatus::Succeeded, 100, "", "100%", "OK (audio copied)", 2},
        {RunRowStatus::Succeeded, 100, "", "100%", "OK (video and audio copied)", 3},
        {RunRowStatus::Failed, 10, "Invalid data", "10%", "Error: Invalid data"},
        {RunRowStatus::Failed, std::nullopt, "", "", "Error: "},
        {RunRowStatus::Canceled, 0, "", "0%", "Canceled"},
    };
    for (const auto& c : cases) {
        RunRow row;
        row.Status = c.status;
        row.CopiedStreams = c.copied;
        row.Percent = c.percent;
        row.ErrorText = QString::fromLatin1(c.error);
        EXPECT_EQ(ProgressText(row), QLatin1String(c.progressText));
        EXPECT_EQ(StatusText(row), QLatin1String(c.statusText));
    }
}

TEST(RunMessageTest, TextsOfTheTwoQueueFailures) {
    EXPECT_EQ(kApplicationTitle, QStringLiteral("Ostrel Media Converter"));
    EXPECT_EQ(CanNotOpenText(QStringLiteral("/v/a b.mp4"), QStringLiteral("Invalid data")),
              QStringLiteral("Can not open file: \n/v/a b.mp4\n\nError: \nInvalid data"));

    const RunMessage convert =
        CannotConvertMessage(QStringLiteral("/out/a.mp4"), QStringLiteral("No encoder"));
    EXPECT_EQ(convert.Caption, QStringLiteral("Error"));
    EXPECT_EQ(convert.Text, QStringLiteral("Cannot convert./out/a.mp4\nError: No encoder\n"
                                           "Please try to convert it to another format"));
}

// The run pauses itself when the output disk would keep less than the larger of 1 GiB and 2 %
// of its size after what the run still writes; the user's pause and resume reach the encoder.
TEST_F(ConversionRunTest, PausesForTheDiskAndForTheUser) {
    constexpr qint64 kGiB = qint64(1) << 30;
    const struct {
        qint64 freeBytes;
        qint64 totalBytes;
        bool paused;
    } cases[] = {
        {5 * kGiB, 100 * kGiB, false},             // 5 GiB free, margin 2 GiB
        {2 * kGiB, 100 * kGiB, true},              // the margin itself: what is written tips it
        {2 * kGiB, 10 * kGiB, false},              // margin 1 GiB; 2 GiB less 0.6 GB keeps it
        {kGiB - 1, 10 * kGiB, true},               // below 1 GiB
        {4 * 1024 * 1024, 8 * 1024 * 1024, true},  // a tiny disk: always paused
        {-1, -1, false},                           // unknown: never paused
    };
    for (const auto& c : cases) {
        ConversionRun run;
        run.SetDiskSpaceFunction([&c](const QString&) {
            return DiskSpace{c.freeBytes, c.totalBytes};
        });
        FileRow row = VideoFileRow(In(QStringLiteral("a.avi")));
        QList<RunRow> planned(1);
        planned[0].InputPath = row.FileName;
        planned[0].OutputPath = Out(QStringLiteral("a.mp4"));
        planned[0].Options = QStringLiteral("-vcodec libx264 -b:v 8000k -ab 128k");
        run.SetPlannedRows(planned, folder_, false);
        encoder_.calls.clear();
        run.QueuePlanned(encoder_, {});
        ASSERT_TRUE(run.Start(encoder_, 1));
        encoder_.Progress(0, 0, 600'000'000);  // 10 minutes at 8 Mb/s: 600 MB still to come
        Deliver();
        run.CheckDiskSpace();
        EXPECT_EQ(run.Paused() == RunPause::DiskFull, c.paused) << c.freeBytes;
        EXPECT_EQ(std::ranges::count(encoder_.calls, std::string("PauseTasks 1")),
                  c.paused ? 1 : 0);
        run.Stop();
    }
    EXPECT_EQ(DiskFullText(1'234'567'890), "Paused: the output disk is almost full (1.2 GB free)");

    ConversionRun run;
    run.SetDiskSpaceFunction([](const QString&) { return DiskSpace{100 * kGiB, 200 * kGiB}; });
    run.Plan({VideoFileRow(In(QStringLiteral("b.avi")))}, OutputSettings{}, folder_);
    run.QueuePlanned(encoder_, {});
    ASSERT_TRUE(run.Start(encoder_, 1));
    encoder_.calls.clear();
    run.Pause();
    EXPECT_EQ(run.Paused(), RunPause::User);
    run.Resume();
    EXPECT_EQ(run.Paused(), RunPause::None);
    EXPECT_EQ(encoder_.calls, (std::vector<std::string>{"PauseTasks 1", "PauseTasks 0"}));
}

TEST_F(ConversionRunTest, QueuesEveryRowInListOrderWithPlannedPaths) {
    Queue({VideoFileRow(In("a.avi")), VideoFileRow(In("b.mkv")), VideoFileRow(In("c.mov"))});

    ASSERT_EQ(run_.RowCount(), 3);
    EXPECT_EQ(encoder_.calls.front(), "ClearTasks");
    ASSERT_EQ(encoder_.outputs.size(), 3u);
    const QStringList names = {"a.mp4", "b.mp4", "c.mp4"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(run_.Rows()[i].OutputPath, Out(names[i]));
        EXPECT_EQ(FromEnginePath(encoder_.outputs[i].first), Out(names[i]));
        EXPECT_EQ(run_.Rows()[i].Task, i);
        EXPECT_EQ(run_.RowOfTask(i), i);
        EXPECT_EQ(run_.Rows()[i].Status, RunRowStatus::None);
    }
    EXPECT_FALSE(encoder_.outputs[0].second.empty());
    EXPECT_TRUE(recorder_.messages.empty());
    EXPECT_EQ(run_.CurrentState(), ConversionRun::State::Queued);
}

TEST_F(ConversionRunTest, OutputsNeverOverwriteInputsEachOtherOrExistingFiles) {
    // The output folder already holds "old.mp4"; "same.mp4" is an input in the output folder
    // itself; two inputs from different folders share the base name "twin".
    QFile existing(Out("old.mp4"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    QFile same(Out("same.mp4"));
    ASSERT_TRUE(same.open(QIODevice::WriteOnly));
    same.close();

    Queue({VideoFileRow(In("old.avi")), VideoFileRow(Out("same.mp4")), VideoFileRow(In("twin.avi")),
           VideoFileRow(folder_ + QStringLiteral("other/twin.mov"))});

    ASSERT_EQ(run_.RowCount(), 4);
    EXPECT_EQ(run_.Rows()[0].OutputPath, Out("old (1).mp4"));
    EXPECT_EQ(run_.Rows()[1].OutputPath, Out("same (1).mp4"));
    EXPECT_EQ(run_.Rows()[2].OutputPath, Out("twin.mp4"));
    EXPECT_EQ(run_.Rows()[3].OutputPath, Out("twin (1).mp4"));
}

TEST_F(ConversionRunTest, FilesThatFailToQueueKeepTheirRowsAndLaterRowsStayAligned) {
    const QString a = In("a.avi"), b = In("b.avi"), c = In("c.avi"), d = In("d.avi");
    encoder_.unopenable.insert(ToEnginePath(b));
    encoder_.refused.insert(ToEnginePath(c));
    std::vector<int> changed;
    QObject::connect(&run_, &ConversionRun::rowChanged, &run_,
                     [&changed](int row) { changed.push_back(row); });

    Queue({VideoFileRow(a), VideoFileRow(b), VideoFileRow(c), VideoFileRow(d)});

    ASSERT_EQ(run_.RowCount(), 4);
    EXPECT_EQ(run_.QueuedTaskCount(), 2);
    EXPECT_EQ(StatusText(run_.Rows()[1]), QStringLiteral("Error: No such file or directory"));
    EXPECT_EQ(StatusText(run_.Rows()[2]), QStringLiteral("Error: Unsupported codec"));
    EXPECT_EQ(run_.Rows()[1].Task, -1);
    EXPECT_EQ(run_.Rows()[2].Task, -1);
    EXPECT_EQ(run_.RowOfTask(0), 0);
    EXPECT_EQ(run_.RowOfTask(1), 3);  // the engine's second task is the fourth file
    EXPECT_EQ(run_.RowOfTask(2), -1);

    ASSERT_EQ(recorder_.messages.size(), 2u);
    EXPECT_EQ(recorder_.messages[0].Caption, kApplicationTitle);
    EXPECT_EQ(recorder_.messages[0].Text,
              CanNotOpenText(b, QStringLiteral("No such file or directory")));
    EXPECT_EQ(recorder_.messages[1].Text,
              CannotConvertMessage(Out("c.mp4"), QStringLiteral("Unsupported codec")).Text);
    // The refused input is closed before its message shows.
    EXPECT_EQ(recorder_.callsAtMessage[1], "CloseInput 1");

    ASSERT_TRUE(run_.Start(encoder_, 2));
    encoder_.Progress(1, 250, 1000);
    Deliver();
    EXPECT_EQ(ProgressText(run_.Rows()[3]), QStringLiteral("25%"));
    EXPECT_EQ(StatusText(run_.Rows()[3]), QStringLiteral("Converting..."));
    EXPECT_EQ(StatusText(run_.Rows()[2]), QStringLiteral("Error: Unsupported codec"));
    EXPECT_EQ(changed, std::vector<int>{3});
}

TEST_F(ConversionRunTest, EventsWriteProgressAndStatus) {
    Queue({VideoFileRow(In("a.avi")), VideoFileRow(In("b.avi")), VideoFileRow(In("c.avi")),
           VideoFileRow(In("d.avi"))});
    int queueEnded = 0;
    int taskEnded = 0;
    QObject::connect(&run_, &ConversionRun::queueEnded, &run_, [&queueEnded] { ++queueEnded; });
    QObject::connect(&run_, &ConversionRun::taskEnded, &run_, [&taskEnded] { ++taskEnded; });
    ASSERT_TRUE(run_.Start(encoder_, 3));
    EXPECT_EQ(encoder_.calls.back(), "StartTasks 3");
    EXPECT_EQ(run_.CurrentState(), ConversionRun::State::Running);

    struct Step {
        const char* event;  // "progress", "finished", "stop"
        int task;
        std::int64_t position, duration;
        Outcome outcome;
        const char* text;
        int row;
        const char* progress;
        const char* status;
    };
    const Step steps[] = {
        {"progress", 0, 459, 1000, Outcome::None, "", 0, "45%", "Converting..."},
        // unknown length: unchanged
        {"progress", 0, 600, 0, Outcome::None, "", 0, "45%", "Converting..."},
        {"finished", 0, 0, 0, Outcome::Succeeded, "", 0, "100%", "OK"},
        {"progress", 1, 100, 1000, Outcome::None, "", 1, "10%", "Converting..."},
        {"finished", 1, 0, 0, Outcome::Failed, "Invalid data", 1, "10%", "Error: Invalid data"},
        // no such task: nothing changes
        {"progress", 7, 100, 1000, Outcome::None, "", 0, "100%", "OK"},
        {"stop", 0, 0, 0, Outcome::None, "", 0, "100%", "OK"},
        {"progress", 1, 900, 1000, Outcome::None, "", 1, "10%", "Canceled"},
        {"finished", 1, 0, 0, Outcome::Succeeded, "", 1, "100%", "OK"},  // a late success shows
        {"finished", 2, 0, 0, Outcome::Stopped, "", 2, "", "Canceled"},  // ended by the stop
        {"finished", 3, 0, 0, Outcome::Failed, "Disk full", 3, "", "Error: Disk full"},
    };
    for (const Step& s : steps) {
        const std::string event = s.event;
        if (event == "progress") {
            encoder_.Progress(s.task, s.position, s.duration);
        } else if (event == "finished") {
            encoder_.Finished(s.task, s.outcome, s.text);
        } else {
            run_.Stop();
            EXPECT_EQ(encoder_.calls.back(), "StopTasks 0");
        }
        Deliver();
        EXPECT_EQ(ProgressText(run_.Rows()[s.row]), QString::fromLatin1(s.progress)) << s.event;
        EXPECT_EQ(StatusText(run_.Rows()[s.row]), QString::fromLatin1(s.status)) << s.event;
    }
    EXPECT_TRUE(run_.StopRequested());
    EXPECT_EQ(run_.CurrentState(), ConversionRun::State::Stopped);
    EXPECT_EQ(run_.SucceededCount(), 2);
    EXPECT_EQ(taskEnded, 5);
    EXPECT_EQ(queueEnded, 0);

    // The end of the queue, even with the failure flag, ends the run once and touches no row.
    int changed = 0;
    QObject::connect(&run_, &ConversionRun::rowChanged, &run_, [&changed] { ++changed; });
    encoder_.QueueEnded(Outcome::Stopped);
    encoder_.QueueEnded(Outcome::Succeeded);
    Deliver();
    EXPECT_EQ(queueEnded, 1);
    EXPECT_EQ(changed, 0);
    EXPECT_EQ(run_.CurrentState(), ConversionRun::State::Finished);
}

TEST_F(ConversionRunTest, AFailedStartFinishesTheRunAtOnce) {
    const QString a = In("a.avi");
    encoder_.unopenable.insert(ToEnginePath(a));
    Queue({VideoFileRow(a)});
    int queueEnded = 0;
    QObject::connect(&run_, &ConversionRun::queueEnded, &run_, [&queueEnded] { ++queueEnded; });
    EXPECT_FALSE(run_.Start(encoder_, 1));
    EXPECT_EQ(run_.CurrentState(), ConversionRun::State::Finished);
    EXPECT_EQ(queueEnded, 0);
    // Stopping a finished run still asks the encoder, and the state stays.
    run_.Stop();
    EXPECT_EQ(encoder_.stopCount, 1);
    EXPECT_EQ(run_.CurrentState(), ConversionRun::State::Finished);
}

TEST_F(ConversionRunTest, EventsOfAnEarlierStartOrAfterAbandonAreDropped) {
    Queue({VideoFileRow(In("a.avi"))});
    ASSERT_TRUE(run_.Start(encoder_, 1));
    encoder_.Progress(0, 500, 1000);  // posted for the first start, delivered later

    Queue({VideoFileRow(In("b.avi"))});
    ASSERT_TRUE(run_.Start(encoder_, 1));
    encoder_.Progress(0, 300, 1000);
    Deliver();
    EXPECT_EQ(ProgressText(run_.Rows()[0]), QStringLiteral("30%"));

    encoder_.Progress(0, 900, 1000);
    run_.Abandon();
    EXPECT_EQ(encoder_.calls.back(), "StopTasks 0");
    encoder_.QueueEnded();
    Deliver();
    EXPECT_EQ(ProgressText(run_.Rows()[0]), QStringLiteral("30%"));
    EXPECT_EQ(run_.CurrentState(), ConversionRun::State::Running);
    EXPECT_FALSE(run_.StopRequested());
}

TEST_F(ConversionRunTest, NoEventReachesARunThatIsGone) {
    auto run = std::make_unique<ConversionRun>();
    run->Queue(encoder_, {VideoFileRow(In("a.avi"))}, OutputSettings{}, folder_, {});
    ASSERT_TRUE(run->Start(encoder_, 1));
    encoder_.Progress(0, 500, 1000);
    run.reset();
    EXPECT_EQ(queue_.RunPending(std::chrono::milliseconds(0)), 1);
}

TEST_F(ConversionRunTest, AnEmptyListStillClearsTheQueue) {
    Queue({});
    EXPECT_EQ(run_.RowCount(), 0);
    EXPECT_EQ(encoder_.calls, std::vector<std::string>{"ClearTasks"});
    EXPECT_FALSE(run_.Start(encoder_, 1));
}

TEST_F(ConversionRunTest, ANewQueueStartsAFreshRun) {
    Queue({VideoFileRow(In("a.avi"))});
    run_.Stop();
    Queue({VideoFileRow(In("b.avi"))});
    EXPECT_FALSE(run_.StopRequested());
    ASSERT_EQ(run_.RowCount(), 1);
    EXPECT_EQ(run_.Rows()[0].OutputPath, Out("b.mp4"));
}

// A file that took the planned name during the run leaves the output another name; the
// output column (and the command line's line, which reads the row) shows the one written.
TEST_F(ConversionRunTest, TheOutputColumnShowsThePathWritten) {
    Queue({VideoFileRow(In("a.avi")), VideoFileRow(In("b.avi"))});
    RunRowsModel model(&run_);
    ASSERT_TRUE(run_.Start(encoder_, 1));
    std::vector<int> changedRows;
    QObject::connect(&run_, &ConversionRun::rowChanged, &run_,
                     [&changedRows](int row) { changedRows.push_back(row); });
    encoder_.Written(0, ToEnginePath(Out("a (1).mp4")));
    encoder_.Finished(0, Outcome::Succeeded);
    encoder_.Written(1, ToEnginePath(Out("b.mp4")));  // the planned name: nothing changes
    encoder_.Finished(1, Outcome::Succeeded);
    Deliver();
    EXPECT_EQ(run_.Rows()[0].OutputPath, Out("a (1).mp4"));
    EXPECT_EQ(model.index(0, RunRowsModel::OutputColumn).data().toString(),
              QDir::toNativeSeparators(Out("a (1).mp4")));
    EXPECT_EQ(run_.Rows()[1].OutputPath, Out("b.mp4"));
    EXPECT_EQ(changedRows, (std::vector<int>{0, 0, 1}));
}

TEST_F(ConversionRunTest, TheRowsModelDerivesItsTextsAndPercent) {
    Queue({VideoFileRow(In("a.avi")), VideoFileRow(In("b.avi"))});
    RunRowsModel model(&run_);
    ASSERT_TRUE(run_.Start(encoder_, 1));
    int changed = 0;
    QObject::connect(&model, &QAbstractItemModel::dataChanged, &model, [&changed] { ++changed; });
    encoder_.Progress(0, 459'000, 1'000'000);
    encoder_.Finished(1, Outcome::Failed, "Invalid data");
    Deliver();
    EXPECT_EQ(changed, 2);

    const QStringList headers = {"Output File Name", "Progress", "Status"};
    ASSERT_EQ(model.columnCount(), headers.size());
    for (int column = 0; column < headers.size(); ++column) {
        EXPECT_EQ(model.headerData(column, Qt::Horizontal).toString(), headers[column]);
    }
    ASSERT_EQ(model.rowCount(), 2);
    const auto cell = [&model](int row, int column, int role = Qt::DisplayRole) {
        return model.index(row, column).data(role);
    };
    EXPECT_EQ(cell(0, RunRowsModel::OutputColumn).toString(),
              QDir::toNativeSeparators(Out("a.mp4")));
    EXPECT_EQ(cell(0, RunRowsModel::ProgressColumn).toString(), QStringLiteral("45%"));
    EXPECT_EQ(cell(0, RunRowsModel::ProgressColumn, RunRowsModel::PercentRole).toInt(), 45);
    EXPECT_EQ(cell(0, RunRowsModel::StatusColumn).toString(), QStringLiteral("Converting..."));
    EXPECT_EQ(cell(1, RunRowsModel::ProgressColumn).toString(), QString());
    EXPECT_FALSE(cell(1, RunRowsModel::ProgressColumn, RunRowsModel::PercentRole).isValid());
    EXPECT_EQ(cell(1, RunRowsModel::StatusColumn).toString(),
              QStringLiteral("Error: Invalid data"));
}

}  // namespace
}  // namespace ostrel
