// The engine's queue: failures that stay with their own task, byte file names, throttled
// progress, and Stop and Pause during a run.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "engine/ffmpeg/ffmpeg_engine.h"
#include "engine_fixture.h"

namespace ostrel::engine::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// What needs the input's streams is decided by the task on the engine's threads: each input is
// accepted when queued and fails its own task with a text, leaving nothing behind.
TEST(Queue, TasksFailWhatTheInputCannotGive) {
    struct Case {
        fs::path Media::*input;
        std::string output;
        std::string options;
        std::string mentioned;
    };
    const std::vector<Case> cases = {
        {&Media::corrupt, "corrupt.mp4", "-ac 2 -vb 512k", "Invalid data"},
        {&Media::videoOnly, "silent.mp4", "-vn -ac 2 -ab 128k", "no audio stream"},
        {&Media::videoOnly, "silent.mp3", "-ac 2 -ab 128k", "no audio stream"},
        {&Media::audioOnly, "picture.mp4", "-an -vb 512k", "no video stream"},
    };
    TempFolder folder;
    QueueRun run;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(run.Add(TestMedia().*(cases[i].input), folder.Path() / cases[i].output,
                          cases[i].options),
                  static_cast<int>(i))
            << cases[i].output << ": " << run.encoder->LastError();
    }
    ASSERT_TRUE(run.RunToEnd(2));
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const FinishedEvent* event = run.Finished(static_cast<int>(i));
        ASSERT_NE(event, nullptr) << cases[i].output;
        EXPECT_EQ(event->outcome, TaskOutcome::Failed) << cases[i].output;
        EXPECT_NE(event->text.find(cases[i].mentioned), std::string::npos)
            << cases[i].output << " → " << event->text;
    }
    EXPECT_TRUE(folder.FileNames().empty());
}

// Paths are bytes: a name that is not UTF-8 reaches the file system as it is, for the input,
// the temporary file and the output.
TEST(Queue, FileNamesAreBytes) {
    TempFolder folder;
    const std::string name = "caf\xe9 \xff";
    const fs::path input = folder.Path() / (name + ".wav");
    fs::copy_file(TestMedia().audioOnly, input);
    const ProbeResult probe = ConvertOne(input, folder.Path() / (name + ".mp3"), "-ac 2 -ab 128k");
    EXPECT_EQ(probe.Count("audio"), 1);
    std::vector<std::string> names = folder.FileNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{name + ".mp3", name + ".wav"}));
}

TEST(Queue, BadInputsFailTheirOwnTaskAndTheQueueGoesOn) {
    TempFolder folder;
    QueueRun run;
    const fs::path vanishing = folder.Path() / "vanishing.mp4";
    fs::copy_file(TestMedia().videoWithAudio, vanishing);
    const std::string options = "-r 29.97 -ac 2 -vb 512k -ab 128k -ar 44100 -s 320x240";
    ASSERT_EQ(run.Add(TestMedia().truncated, folder.Path() / "truncated-out.mp4", options), 0);
    ASSERT_EQ(run.Add(vanishing, folder.Path() / "vanished-out.mp4", options), 1);
    ASSERT_EQ(run.Add(TestMedia().videoWithAudio, folder.Path() / "good.mp4", options), 2);
    fs::remove(vanishing);
    ASSERT_TRUE(run.RunToEnd(2));
    ASSERT_EQ(run.log.finished.size(), 3u);
    EXPECT_EQ(run.log.queueEnds, 1);
    EXPECT_FALSE(run.log.wrongThread);
    for (int task : {0, 1}) {
        const FinishedEvent* event = run.Finished(task);
        ASSERT_NE(event, nullptr);
        EXPECT_FALSE(event->success);
        EXPECT_TRUE(event->failure);
        EXPECT_FALSE(event->text.empty());
    }
    EXPECT_NE(run.Finished(0)->text.find("The input file ends early"), std::string::npos)
        << run.Finished(0)->text;
    EXPECT_NE(run.Finished(1)->text.find("No such file"), std::string::npos)
        << run.Finished(1)->text;
    ASSERT_NE(run.Finished(2), nullptr);
    EXPECT_TRUE(run.Finished(2)->success) << run.Finished(2)->text;
    // Only the good output is left: no partial or temporary file of the failed tasks.
    EXPECT_EQ(folder.FileNames(), std::vector<std::string>{"good.mp4"});
}

TEST(Queue, ProgressIsThrottledAndReachesTheEnd) {
    TempFolder folder;
    QueueRun run;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(
            run.Add(TestMedia().videoWithAudio, folder.Path() / ("p" + std::to_string(i) + ".mp4"),
                    "-ac 2 -vcodec libx264 -vpre libx264-ultrafast -vb 600k -ab 128k "
                    "-ar 44100 -s 320x240"),
            i);
    }
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(run.RunToEnd(2));
    const double elapsedMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(run.log.finished.size(), 3u);
    EXPECT_EQ(run.log.queueEnds, 1);
    EXPECT_FALSE(run.log.wrongThread);
    for (int task = 0; task < 3; ++task) {
        std::vector<ProgressEvent> events;
        std::copy_if(run.log.progress.begin(), run.log.progress.end(), std::back_inserter(events),
                     [task](const ProgressEvent& event) { return event.task == task; });
        ASSERT_FALSE(events.empty()) << task;
        // About ten per second, plus the final one.
        EXPECT_LE(static_cast<double>(events.size()), elapsedMs / 100.0 + 3.0) << task;
        for (std::size_t i = 1; i < events.size(); ++i) {
            EXPECT_GE(events[i].positionUs, events[i - 1].positionUs);
        }
        EXPECT_NEAR(static_cast<double>(events.back().durationUs) / 1e6, 2.0, 0.1);
        EXPECT_GE(events.back().positionUs, events.back().durationUs * 9 / 10);
        EXPECT_TRUE(run.Finished(task)->success);
    }
}

// Stops a started queue once its first progress has arrived. How long the queue then took to
// end, in milliseconds; -1 when no progress came or the queue did not end within 10 s.
long StopAtFirstProgress(QueueRun& run) {
    if (!run.queue.RunUntil([&] { return !run.log.progress.empty(); }, 60s)) {
        return -1;
    }
    const auto stopAt = std::chrono::steady_clock::now();
    run.encoder->StopTasks(false);
    if (!run.queue.RunUntil([&] { return run.log.queueEnds > 0; }, 10s)) {
        return -1;
    }
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - stopAt)
                                 .count());
}

TEST(Queue, StopEndsQuicklyAndLeavesNothing) {
    TempFolder folder;
    QueueRun run;
    // Slow work: the x264 "medium" preset scaling up to 1280x720.
    for (int i = 0; i < 3; ++i) {
        ASSERT_GE(
            run.Add(TestMedia().videoWithAudio, folder.Path() / ("s" + std::to_string(i) + ".mp4"),
                    "-ac 2 -vcodec libx264 -vpre libx264-default -vb 4000k -ab 128k -ar "
                    "44100 -s 1280x720"),
            0);
    }
    ASSERT_EQ(run.encoder->StartTasks(1), 0);
    EXPECT_LT(run.encoder->StartTasks(1), 0) << "a second start is refused while running";
    const long stoppedMs = StopAtFirstProgress(run);
    ASSERT_GE(stoppedMs, 0);
    RecordProperty("stopMilliseconds", static_cast<int>(stoppedMs));
    // A generous limit that sanitizer builds on a busy machine keep as well; finishing the three
    // encodes would take far longer, and the outcomes below show that they were stopped.
    EXPECT_LT(stoppedMs, 5000);
    // Nothing more arrives after the queue end.
    run.queue.RunUntil([] { return false; }, 200ms);
    EXPECT_EQ(run.log.queueEnds, 1);
    EXPECT_EQ(run.log.finished.size(), 3u);
    for (const FinishedEvent& event : run.log.finished) {
        EXPECT_FALSE(event.success);
        EXPECT_TRUE(event.failure);
        EXPECT_EQ(event.outcome, TaskOutcome::Stopped);
        EXPECT_TRUE(event.text.empty()) << event.text;
    }
    EXPECT_TRUE(folder.FileNames().empty());
}

// A paused run makes no progress and starts no task; resumed, it converts every file. A stop
// while paused ends it at once and leaves nothing.
TEST(Queue, PauseHoldsTheRunAndStopEndsIt) {
    TempFolder folder;
    for (const bool stopWhilePaused : {false, true}) {
        QueueRun run;
        for (int i = 0; i < 2; ++i) {
            ASSERT_GE(run.Add(TestMedia().videoWithAudio,
                              folder.Path() / ("p" + std::to_string(stopWhilePaused) +
                                               std::to_string(i) + ".mp4"),
                              "-ac 2 -vcodec libx264 -vb 800k -ab 128k -ar 44100"),
                      0);
        }
        ASSERT_EQ(run.encoder->StartTasks(1), 0);
        ASSERT_TRUE(run.queue.RunUntil([&] { return !run.log.progress.empty(); }, 60s));
        run.encoder->PauseTasks(true);
        // What was already read drains; then nothing moves.
        run.queue.RunUntil([] { return false; }, 300ms);
        const std::size_t progressWhenPaused = run.log.progress.size();
        run.queue.RunUntil([] { return false; }, 700ms);
        EXPECT_EQ(run.log.progress.size(), progressWhenPaused);
        EXPECT_TRUE(run.log.finished.empty());
        if (stopWhilePaused) {
            const auto stopAt = std::chrono::steady_clock::now();
            run.encoder->StopTasks(false);
            ASSERT_TRUE(run.queue.RunUntil([&] { return run.log.queueEnds > 0; }, 10s));
            EXPECT_LT(std::chrono::steady_clock::now() - stopAt, 5s);
            for (const FinishedEvent& event : run.log.finished) {
                EXPECT_EQ(event.outcome, TaskOutcome::Stopped);
            }
        } else {
            run.encoder->PauseTasks(false);
            ASSERT_TRUE(run.queue.RunUntil([&] { return run.log.queueEnds > 0; }, 120s));
            ASSERT_EQ(run.log.finished.size(), 2u);
            EXPECT_TRUE(run.Finished(0)->success && run.Finished(1)->success);
        }
    }
    EXPECT_EQ(folder.FileNames().size(), 2u);  // the resumed run's two files only
}

// Sound alone runs on two threads joined by a queue that wakes its consumer in batches, handed
// over after filtering (MP3: large encoder frames) or after decoding (Vorbis: small ones). A
// stop ends either shape at once and leaves no file.
TEST(Queue, StoppingASoundConversionEndsQuicklyAndLeavesNothing) {
    TempFolder sources;
    // Two minutes of 8 kHz mono, made up to 44.1 kHz stereo: seconds of encoding.
    const std::filesystem::path input = sources.Path() / "long.wav";
    ASSERT_TRUE(
        RunCommand("ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:"
                   "sample_rate=8000 -t 120 -ac 1 " +
                   Quote(input)));
    struct Case {
        const char* name;
        const char* output;
        const char* options;
    };
    const std::vector<Case> cases = {
        {"MP3", "long.mp3", "-ac 2 -vn -ab 128k -ar 44100"},
        {"Vorbis", "long.ogg", "-ac 2 -vn -acodec libvorbis -ab 128k -ar 44100"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        QueueRun run;
        ASSERT_GE(run.Add(input, folder.Path() / c.output, c.options), 0)
            << run.encoder->LastError();
        ASSERT_EQ(run.encoder->StartTasks(2), 0);
        const long stoppedMs = StopAtFirstProgress(run);
        ASSERT_GE(stoppedMs, 0);
        EXPECT_LT(stoppedMs, 5000);
        ASSERT_EQ(run.log.finished.size(), 1u);
        EXPECT_EQ(run.log.finished.front().outcome, TaskOutcome::Stopped);
        EXPECT_TRUE(folder.FileNames().empty());
    }
}

}  // namespace
}  // namespace ostrel::engine::testing
