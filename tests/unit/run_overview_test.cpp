#include "conversion/run_overview.h"
#include "conversion/when_done.h"

#include <gtest/gtest.h>

#include "qt_printers.h"

namespace ostrel {
namespace {

using S = RunRowStatus;

RunRow Row(S status, std::int64_t positionUs = 0, std::int64_t durationUs = 0, int task = 0) {
    RunRow row;
    row.Status = status;
    row.PositionUs = positionUs;
    row.DurationUs = durationUs;
    row.Task = task;
    return row;
}

QList<RunRow> Rows(const QList<S>& statuses) {
    QList<RunRow> rows;
    for (const S status : statuses) {
        rows.append(Row(status));
    }
    return rows;
}

struct EndCase {
    const char* name;
    QList<S> statuses;
    bool stopRequested;
    const char* caption;
    const char* notice;
    bool sound;
};

TEST(RunOverviewTest, EndOfRunTextsSayWhatHappened) {
    const EndCase cases[] = {
        {"all converted",
         {S::Succeeded, S::Succeeded},
         false,
         "Convert Finished!",
         "Convert Finished. Click here to open the output folder",
         true},
        {"stopped",
         {S::Succeeded, S::Succeeded, S::Canceled, S::None, S::None},
         true,
         "Convert Stopped!",
         "Stopped: 2 of 5 files converted. Click here to open the output folder",
         false},
        {"with failures",
         {S::Succeeded, S::Failed, S::Succeeded, S::Failed, S::Succeeded},
         false,
         "Convert Finished with errors!",
         "3 of 5 files converted, 2 failed. Click here to open the output folder",
         true},
        {"stopped with a failure",
         {S::Failed, S::Canceled},
         true,
         "Convert Stopped!",
         "Stopped: 0 of 2 files converted. Click here to open the output folder",
         false},
        // The engine canceled a task on its own: not a success either.
        {"canceled without a stop",
         {S::Succeeded, S::Canceled},
         false,
         "Convert Stopped!",
         "Stopped: 1 of 2 files converted. Click here to open the output folder",
         false},
        {"one file that failed",
         {S::Failed},
         false,
         "Convert Finished with errors!",
         "0 of 1 file converted, 1 failed. Click here to open the output folder",
         true},
        // A row the encoder never reported on counts as not converted.
        {"a row without an outcome",
         {S::Succeeded, S::None},
         false,
         "Convert Finished with errors!",
         "1 of 2 files converted, 1 failed. Click here to open the output folder",
         true},
        // Stop pressed after the last file had finished: nothing is missing, but the user
        // asked for quiet.
        {"stop after everything",
         {S::Succeeded},
         true,
         "Convert Finished!",
         "Convert Finished. Click here to open the output folder",
         false},
    };
    for (const EndCase& c : cases) {
        SCOPED_TRACE(c.name);
        const RunEndTexts texts = EndOfRunTexts(CountRows(Rows(c.statuses)), c.stopRequested);
        EXPECT_EQ(texts.Caption, QString::fromUtf8(c.caption));
        EXPECT_EQ(texts.Notice, QString::fromUtf8(c.notice));
        EXPECT_EQ(texts.PlaysSound, c.sound);
    }
}

struct ProgressCase {
    const char* name;
    QList<RunRow> rows;
    QList<double> listed;  // seconds as the list probed them
    std::int64_t elapsedMs;
    bool running;
    int ended;
    int percent;
    std::optional<std::int64_t> remainingMs;
};

TEST(RunOverviewTest, WholeRunFiguresFromDurationsAndSpeed) {
    constexpr std::int64_t s = 1'000'000;
    const ProgressCase cases[] = {
        {"nothing reported yet", {Row(S::None), Row(S::None)}, {10, 30}, 500, true, 0, 0, {}},
        // 10 s of 40 s converted in 5 s: 30 s of media left at 2 s of media per second.
        {"one of two done",
         {Row(S::Succeeded, 10 * s, 10 * s), Row(S::None)},
         {10, 30},
         5000,
         true,
         1,
         25,
         15000},
        // The encoder's duration wins over the list's; a partial file counts its position.
        {"partial progress",
         {Row(S::Succeeded, 20 * s, 20 * s), Row(S::Converting, 5 * s, 20 * s)},
         {10, 30},
         5000,
         true,
         1,
         62,
         3000},
        {"too early to promise a time",
         {Row(S::Converting, 1 * s, 10 * s), Row(S::None)},
         {10, 10},
         kRemainingAfterMs - 1,
         true,
         0,
         5,
         {}},
        // A failed file ends its work where it stopped; an unqueued one never had any.
        {"failures take no more time",
         {Row(S::Failed, 2 * s, 10 * s), Row(S::Failed, 0, 0, -1),
          Row(S::Converting, 2 * s, 4 * s)},
         {10, 10, 4},
         4000,
         true,
         2,
         66,
         2000},
        // Unknown lengths weigh as much as the known mean (10 s).
        {"unknown lengths",
         {Row(S::Succeeded, 10 * s, 10 * s), Row(S::None), Row(S::None)},
         {10, 0, 0},
         10000,
         true,
         1,
         33,
         20000},
        // Nobody knows any length: every file weighs the same, positions count for nothing.
        {"no length known", {Row(S::Succeeded), Row(S::None)}, {0, 0}, 6000, true, 1, 50, 6000},
        {"finished", {Row(S::Succeeded, 3 * s, 3 * s)}, {3}, 9000, false, 1, 100, {}},
        {"stopped shows no remaining time",
         {Row(S::Succeeded, 1 * s, 1 * s), Row(S::Canceled, 1 * s, 9 * s)},
         {1, 9},
         9000,
         false,
         2,
         20,
         {}},
        {"nothing queued", {Row(S::Failed, 0, 0, -1)}, {5}, 0, false, 1, 100, {}},
    };
    for (const ProgressCase& c : cases) {
        SCOPED_TRACE(c.name);
        const RunProgressFigures figures =
            MeasureRunProgress(c.rows, c.listed, c.elapsedMs, c.running);
        EXPECT_EQ(figures.Total, c.rows.size());
        EXPECT_EQ(figures.Ended, c.ended);
        EXPECT_EQ(figures.Running, c.running);
        EXPECT_EQ(figures.Percent, c.percent);
        EXPECT_EQ(figures.RemainingMs, c.remainingMs);
    }
}

TEST(RunOverviewTest, ProgressTextInWholeSeconds) {
    RunProgressFigures figures;
    figures.Running = true;
    figures.Ended = 12;
    figures.Total = 50;
    figures.ElapsedMs = 83'999;  // not yet 84 s
    EXPECT_EQ(RunProgressText(figures),
              QString::fromUtf8("12 of 50 files done  ·  Elapsed 00:01:23"));
    figures.RemainingMs = 250'001;  // a little over 250 s
    EXPECT_EQ(
        RunProgressText(figures),
        QString::fromUtf8("12 of 50 files done  ·  Elapsed 00:01:23  ·  Remaining about 00:04:11"));
    figures.Ended = 0;
    figures.Total = 1;
    figures.ElapsedMs = 59'600;
    figures.RemainingMs.reset();
    EXPECT_EQ(RunProgressText(figures), QString::fromUtf8("0 of 1 file done  ·  Elapsed 00:00:59"));
    // Over: what counts is how many were converted, not how many were canceled.
    figures.Running = false;
    figures.Ended = 50;
    figures.Converted = 5;
    figures.Total = 50;
    figures.ElapsedMs = 6'000;
    EXPECT_EQ(RunProgressText(figures),
              QString::fromUtf8("5 of 50 files converted  ·  Elapsed 00:00:06"));
}

}  // namespace
}  // namespace ostrel

namespace ostrel {
namespace {

// The end-of-run action only after every file converted; never after a stop or a failure.
TEST(WhenDoneTest, ActsOnlyAfterARunThatConvertedEveryFile) {
    const struct {
        RunCounts counts;
        bool stopped;
        WhenDone action;
    } cases[] = {
        {{3, 3, 0, 0}, false, WhenDone::ShutDown}, {{3, 3, 0, 0}, true, WhenDone::Nothing},
        {{3, 2, 1, 0}, false, WhenDone::Nothing},  {{3, 2, 0, 1}, false, WhenDone::Nothing},
        {{3, 2, 0, 0}, false, WhenDone::Nothing},  {{0, 0, 0, 0}, false, WhenDone::Nothing},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ActionAfterRun(WhenDone::ShutDown, c.counts, c.stopped), c.action)
            << c.counts.Total << c.counts.Succeeded << c.stopped;
    }
    EXPECT_EQ(WhenDoneFromText("2"), WhenDone::Suspend);
    EXPECT_EQ(WhenDoneFromText("9"), WhenDone::Nothing);
    EXPECT_EQ(WhenDoneFromText(""), WhenDone::Nothing);
    EXPECT_EQ(WhenDoneChoices().join(u'/'), "Do nothing/Quit/Suspend/Shut down");
}

}  // namespace
}  // namespace ostrel
