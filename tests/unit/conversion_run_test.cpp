#include "conversion/conversion_run.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <vector>

#include "../gui/fake_encoder.h"
#include "qt_printers.h"

namespace ostrel {
namespace {

using testing::FakeEncoder;

FileRow VideoRow(const QString& path) {
    FileRow row;
    row.FileName = path;
    row.VideoSize = QStringLiteral("320 X 240");
    row.VideoCodec = QStringLiteral("h264");
    row.AudioCodec = QStringLiteral("aac");
    return row;
}

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

class ConversionRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        folder_ = dir_.path() + QLatin1Char('/');
        recorder_.encoder = &encoder_;
    }

    QString In(const QString& name) const { return folder_ + QStringLiteral("in/") + name; }
    QString Out(const QString& name) const { return folder_ + name; }

    void Queue(const QList<FileRow>& rows) {
        run_.Queue(encoder_, rows, OutputSettings{}, folder_, recorder_.Function());
    }

    QTemporaryDir dir_;
    QString folder_;
    FakeEncoder encoder_;
    Recorder recorder_;
    ConversionRun run_;
};

TEST(ProgressTextTest, WholePerCentRoundedDown) {
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
        EXPECT_EQ(ProgressText(c.positionUs, c.durationUs), QString::fromLatin1(c.expected))
            << c.positionUs << "/" << c.durationUs;
    }
}

TEST(RunMessageTest, TextsOfTheTwoQueueFailures) {
    const RunMessage open =
        CannotOpenMessage(QStringLiteral("/v/a b.mp4"), QStringLiteral("Invalid data"));
    EXPECT_EQ(open.Caption, QStringLiteral("Ostrel Media Converter"));
    EXPECT_EQ(open.Text,
              QStringLiteral("Can not open file: \n/v/a b.mp4\n\nError: \nInvalid data"));

    const RunMessage convert =
        CannotConvertMessage(QStringLiteral("/out/a.mp4"), QStringLiteral("No encoder"));
    EXPECT_EQ(convert.Caption, QStringLiteral("Error"));
    EXPECT_EQ(convert.Text, QStringLiteral("Cannot convert./out/a.mp4\nError: No encoder\n"
                                           "Please try to convert it to another format"));
}

TEST_F(ConversionRunTest, QueuesEveryRowInListOrderWithPlannedPaths) {
    Queue({VideoRow(In("a.avi")), VideoRow(In("b.mkv")), VideoRow(In("c.mov"))});

    ASSERT_EQ(run_.RowCount(), 3);
    EXPECT_EQ(encoder_.calls.front(), "ClearTasks");
    ASSERT_EQ(encoder_.outputs.size(), 3u);
    const QStringList names = {"a.mp4", "b.mp4", "c.mp4"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(run_.Rows()[i].OutputPath, Out(names[i]));
        EXPECT_EQ(QString::fromStdString(encoder_.outputs[i].first), Out(names[i]));
        EXPECT_EQ(run_.Rows()[i].Task, i);
        EXPECT_EQ(run_.RowOfTask(i), i);
        EXPECT_TRUE(run_.Rows()[i].Status.isEmpty());
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

    Queue({VideoRow(In("old.avi")), VideoRow(Out("same.mp4")), VideoRow(In("twin.avi")),
           VideoRow(folder_ + QStringLiteral("other/twin.mov"))});

    ASSERT_EQ(run_.RowCount(), 4);
    EXPECT_EQ(run_.Rows()[0].OutputPath, Out("old (1).mp4"));
    EXPECT_EQ(run_.Rows()[1].OutputPath, Out("same (1).mp4"));
    EXPECT_EQ(run_.Rows()[2].OutputPath, Out("twin.mp4"));
    EXPECT_EQ(run_.Rows()[3].OutputPath, Out("twin (1).mp4"));
}

TEST_F(ConversionRunTest, FilesThatFailToQueueKeepTheirRowsAndLaterRowsStayAligned) {
    const QString a = In("a.avi"), b = In("b.avi"), c = In("c.avi"), d = In("d.avi");
    encoder_.unopenable.insert(b.toStdString());
    encoder_.refused.insert(c.toStdString());
    std::vector<int> changed;
    QObject::connect(&run_, &ConversionRun::rowChanged, &run_,
                     [&changed](int row) { changed.push_back(row); });

    Queue({VideoRow(a), VideoRow(b), VideoRow(c), VideoRow(d)});

    ASSERT_EQ(run_.RowCount(), 4);
    EXPECT_EQ(run_.QueuedTaskCount(), 2);
    EXPECT_EQ(run_.Rows()[1].Status, QStringLiteral("Error: No such file or directory"));
    EXPECT_EQ(run_.Rows()[2].Status, QStringLiteral("Error: Unsupported codec"));
    EXPECT_EQ(run_.Rows()[1].Task, -1);
    EXPECT_EQ(run_.Rows()[2].Task, -1);
    EXPECT_EQ(run_.RowOfTask(0), 0);
    EXPECT_EQ(run_.RowOfTask(1), 3);  // the engine's second task is the fourth file
    EXPECT_EQ(run_.RowOfTask(2), -1);

    ASSERT_EQ(recorder_.messages.size(), 2u);
    EXPECT_EQ(recorder_.messages[0].Text,
              CannotOpenMessage(b, QStringLiteral("No such file or directory")).Text);
    EXPECT_EQ(recorder_.messages[1].Text,
              CannotConvertMessage(Out("c.mp4"), QStringLiteral("Unsupported codec")).Text);
    // The refused input is closed before its message shows.
    EXPECT_EQ(recorder_.callsAtMessage[1], "CloseInput 1");

    run_.MarkStarted();
    run_.OnTaskProgress(1, 250, 1000);
    EXPECT_EQ(run_.Rows()[3].Progress, QStringLiteral("25%"));
    EXPECT_EQ(run_.Rows()[3].Status, QStringLiteral("Converting..."));
    EXPECT_EQ(run_.Rows()[2].Status, QStringLiteral("Error: Unsupported codec"));
    EXPECT_EQ(changed, std::vector<int>{3});
}

TEST_F(ConversionRunTest, EventsWriteProgressAndStatusTexts) {
    Queue({VideoRow(In("a.avi")), VideoRow(In("b.avi")), VideoRow(In("c.avi"))});
    run_.MarkStarted();
    int finished = 0;
    QObject::connect(&run_, &ConversionRun::finished, &run_, [&finished] { ++finished; });

    struct Step {
        const char* event;  // "progress", "finished", "stop"
        int task;
        std::int64_t a;  // position, or success
        std::int64_t b;  // duration, or 1 = failed, 2 = stopped
        const char* text;
        int row;
        const char* progress;
        const char* status;
    };
    const Step steps[] = {
        {"progress", 0, 459, 1000, "", 0, "45%", "Converting..."},
        {"progress", 0, 600, 0, "", 0, "45%", "Converting..."},  // unknown length: unchanged
        {"finished", 0, 1, 0, "", 0, "100%", "OK"},
        {"progress", 1, 100, 1000, "", 1, "10%", "Converting..."},
        {"finished", 1, 0, 1, "Invalid data", 1, "10%", "Error: Invalid data"},
        {"progress", 7, 100, 1000, "", 0, "100%", "OK"},  // no such task: nothing changes
        {"stop", 0, 0, 0, "", 0, "100%", "OK"},
        {"progress", 1, 900, 1000, "", 1, "10%", "Canceled"},
        {"finished", 1, 1, 0, "", 1, "100%", "OK"},    // a late success still shows
        {"finished", 2, 0, 2, "", 2, "", "Canceled"},  // ended by the stop
    };
    for (const Step& s : steps) {
        const std::string event = s.event;
        if (event == "progress") {
            run_.OnTaskProgress(s.task, s.a, s.b);
        } else if (event == "finished") {
            const engine::TaskOutcome outcome = s.a != 0   ? engine::TaskOutcome::Succeeded
                                                : s.b == 2 ? engine::TaskOutcome::Stopped
                                                           : engine::TaskOutcome::Failed;
            run_.OnTaskFinished(s.task, outcome, QString::fromLatin1(s.text));
        } else {
            run_.RequestStop();
        }
        EXPECT_EQ(run_.Rows()[s.row].Progress, QString::fromLatin1(s.progress)) << s.event;
        EXPECT_EQ(run_.Rows()[s.row].Status, QString::fromLatin1(s.status)) << s.event;
    }
    EXPECT_TRUE(run_.StopRequested());
    EXPECT_EQ(run_.CurrentState(), ConversionRun::State::Stopped);
    EXPECT_EQ(finished, 0);

    // The end of the queue, even with the failure flag, ends the run once and touches no row.
    int changed = 0;
    QObject::connect(&run_, &ConversionRun::rowChanged, &run_, [&changed] { ++changed; });
    run_.OnTaskFinished(-1, engine::TaskOutcome::Stopped, {});
    run_.OnTaskFinished(-1, engine::TaskOutcome::Succeeded, {});
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(changed, 0);
    EXPECT_EQ(run_.CurrentState(), ConversionRun::State::Finished);
}

TEST_F(ConversionRunTest, AnEmptyListStillClearsTheQueue) {
    Queue({});
    EXPECT_EQ(run_.RowCount(), 0);
    EXPECT_EQ(encoder_.calls, std::vector<std::string>{"ClearTasks"});
}

TEST_F(ConversionRunTest, ANewQueueStartsAFreshRun) {
    Queue({VideoRow(In("a.avi"))});
    run_.RequestStop();
    Queue({VideoRow(In("b.avi"))});
    EXPECT_FALSE(run_.StopRequested());
    ASSERT_EQ(run_.RowCount(), 1);
    EXPECT_EQ(run_.Rows()[0].OutputPath, Out("b.mp4"));
}

}  // namespace
}  // namespace ostrel
