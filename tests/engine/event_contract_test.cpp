// The encoder's event contract: what a host may rely on about when events arrive, and that
// events of a superseded run or of a destroyed encoder never reach a handler.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "engine_fixture.h"

namespace ostrel::engine::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Work that runs for many seconds unless stopped: the x264 "medium" preset scaling up to 720p.
constexpr const char* kSlowOptions =
    "-ac 2 -vcodec libx264 -vpre libx264-default -vb 4000k -ab 128k -ar 44100 -s 1280x720";
constexpr const char* kQuickOptions = "-ac 2 -vn -ab 128k -ar 44100";

// Queues slow tasks numbered from first on.
void QueueSlowTasks(QueueRun& run, const TempFolder& folder, int first, int count) {
    for (int i = first; i < first + count; ++i) {
        ASSERT_EQ(run.Add(TestMedia().videoWithAudio,
                          folder.Path() / ("slow" + std::to_string(i) + ".mp4"), kSlowOptions),
                  i);
    }
}

// StopTasks(true) returns after the last event of the run was posted; whatever the host had not
// yet run of it is dropped once the next run starts, or ClearTasks was called.
TEST(EventContract, EventsOfASupersededRunAreDropped) {
    struct Case {
        const char* name;
        bool clearFirst;  // ClearTasks before the next run instead of queuing after the old tasks
    };
    for (const Case& c : {Case{"next run", false}, Case{"cleared", true}}) {
        TempFolder folder;
        QueueRun run;
        QueueSlowTasks(run, folder, 0, 2);
        ASSERT_EQ(run.encoder->StartTasks(1), 0);
        ASSERT_TRUE(run.queue.RunUntil([&] { return !run.log.progress.empty(); }, 60s)) << c.name;
        run.encoder->StopTasks(true);
        const int postedAtStop = run.posted;
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(run.posted, postedAtStop) << c.name << ": posted after StopTasks(true)";
        EXPECT_TRUE(run.log.finished.empty()) << c.name << ": the events were not run yet";

        if (c.clearFirst) {
            run.encoder->ClearTasks();
        }
        const int quick =
            run.Add(TestMedia().audioOnly, folder.Path() / "quick.mp3", kQuickOptions);
        ASSERT_EQ(quick, c.clearFirst ? 0 : 2) << c.name;
        ASSERT_TRUE(run.RunToEnd(1)) << c.name;
        ASSERT_EQ(run.log.finished.size(), 1u) << c.name << ": only the new run's task";
        EXPECT_EQ(run.log.finished[0].task, quick) << c.name;
        EXPECT_EQ(run.log.finished[0].outcome, TaskOutcome::Succeeded) << c.name;
        EXPECT_EQ(run.log.queueEnds, 1) << c.name;
        for (const ProgressEvent& event : run.log.progress) {
            EXPECT_TRUE(event.task == 0 || event.task == quick) << c.name;
        }
        EXPECT_EQ(folder.FileNames(), std::vector<std::string>{"quick.mp3"}) << c.name;
    }
}

// The niceness of the task threads (field 19 of /proc/self/task/N/stat) that are not ours.
std::vector<int> OtherThreadsNice(const std::vector<std::string>& ours) {
    std::vector<int> nice;
    for (const auto& entry : fs::directory_iterator("/proc/self/task")) {
        if (std::find(ours.begin(), ours.end(), entry.path().filename().string()) != ours.end()) {
            continue;
        }
        std::ifstream stat(entry.path() / "stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        std::istringstream fields(text.substr(text.rfind(')') + 2));
        std::string field;
        for (int i = 3; i <= 19 && fields >> field; ++i) {
        }
        nice.push_back(std::stoi(field));
    }
    return nice;
}

// A conversion's threads run at the niceness asked for, below the host's own threads.
TEST(EventContract, TaskThreadsRunAtTheirNiceness) {
    for (int nice : {0, 7}) {
        std::vector<std::string> ours;
        for (const auto& entry : fs::directory_iterator("/proc/self/task")) {
            ours.push_back(entry.path().filename().string());
        }
        TempFolder folder;
        QueueRun run;
        QueueSlowTasks(run, folder, 0, 1);
        run.encoder->SetTaskNice(nice);
        ASSERT_EQ(run.encoder->StartTasks(2), 0);
        ASSERT_TRUE(run.queue.RunUntil([&] { return !run.log.progress.empty(); }, 60s));
        const std::vector<int> threads = OtherThreadsNice(ours);
        run.encoder->StopTasks(true);
        ASSERT_FALSE(threads.empty());
        for (int threadNice : threads) {
            EXPECT_EQ(threadNice, nice);
        }
        EXPECT_EQ(getpriority(PRIO_PROCESS, 0), 0) << "the host's thread keeps its priority";
    }
}

// Destroying the encoder stops and joins its threads: nothing is posted afterwards, and what was
// posted but not yet run never calls a handler.
TEST(EventContract, NothingOfADestroyedEncoderReachesTheHost) {
    TempFolder folder;
    QueueRun run;
    ASSERT_EQ(run.Add(TestMedia().audioOnly, folder.Path() / "quick.mp3", kQuickOptions), 0);
    QueueSlowTasks(run, folder, 1, 2);
    ASSERT_EQ(run.encoder->StartTasks(2), 0);
    // The quick task ends while the slow ones run; then the encoder goes.
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (!fs::exists(folder.Path() / "quick.mp3") &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    run.encoder.reset();
    const int postedAtDestruction = run.posted;
    EXPECT_GT(postedAtDestruction, 0);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(run.posted, postedAtDestruction);
    EXPECT_EQ(run.queue.RunPending(0ms), postedAtDestruction) << "every event still arrives";
    EXPECT_TRUE(run.log.progress.empty());
    EXPECT_TRUE(run.log.finished.empty());
    EXPECT_EQ(run.log.queueEnds, 0);
    EXPECT_EQ(folder.FileNames(), std::vector<std::string>{"quick.mp3"});
}

// A poster that runs events at once breaks the contract: the handlers then run on an engine
// thread, and the calls that would have to wait for that thread refuse instead of deadlocking
// or leaving a thread behind.
TEST(EventContract, CallsFromAnEngineThreadAreRefused) {
    TempFolder folder;
    EventLog log;
    std::thread::id queueEndThread;
    int startFromEvent = 0;
    std::string startError;
    auto encoder = ff::CreateFfmpegEncoder();
    encoder->SetEventPoster([](std::function<void()> event) { event(); });
    EncoderEvents events = log.Handlers();
    events.TaskFinished = [&](int task, TaskOutcome, const std::string&) {
        if (task < 0) {
            queueEndThread = std::this_thread::get_id();
            encoder->StopTasks(true);  // cannot wait for itself: returns
            encoder->ClearTasks();     // refused
            startFromEvent = encoder->StartTasks(1);
            startError = encoder->LastError();
        }
    };
    encoder->SetEvents(events);
    const int handle = encoder->OpenInput(TestMedia().audioOnly.string(), "");
    ASSERT_GE(encoder->AddOutput(handle, (folder.Path() / "a.mp3").string(), kQuickOptions), 0);
    ASSERT_EQ(encoder->StartTasks(1), 0);
    encoder->StopTasks(true);  // joins the runner, whose last act was the queue-end event
    EXPECT_NE(queueEndThread, std::thread::id());
    EXPECT_NE(queueEndThread, std::this_thread::get_id());
    EXPECT_LT(startFromEvent, 0);
    EXPECT_NE(startError.find("own threads"), std::string::npos) << startError;
    // ClearTasks was refused: the finished task is still counted, so a new output gets number 1.
    EXPECT_EQ(encoder->AddOutput(handle, (folder.Path() / "b.mp3").string(), kQuickOptions), 1);
    encoder.reset();
}

}  // namespace
}  // namespace ostrel::engine::testing
