// What the engine promises about the user's files: it never replaces one, cannot be redirected
// by a planted link, leaves nothing behind, and sweeps what killed runs left.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "engine/ffmpeg/output.h"
#include "engine_fixture.h"

namespace ostrel::engine::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kAudioOptions = "-ac 2 -ab 128k";

std::string Contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void Write(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

std::vector<std::string> SortedNames(const TempFolder& folder) {
    std::vector<std::string> names = folder.FileNames();
    std::sort(names.begin(), names.end());
    return names;
}

// A file saved under the planned name while the task converts: the moment comes from the
// engine's own thread (its first progress event), before the output gets its name.
TEST(NoReplace, AFileThatAppearsDuringTheRunIsKept) {
    TempFolder folder;
    const fs::path planned = folder.Path() / "clip.mp3";
    QueueRun run;
    ASSERT_EQ(run.Add(TestMedia().audioOnly, planned, kAudioOptions), 0);
    std::atomic<bool> planted{false};
    run.encoder->SetEventPoster([&](std::function<void()> event) {
        if (!planted.exchange(true)) {
            Write(planned, "the user's document");
        }
        run.queue.Post(std::move(event));
    });
    ASSERT_TRUE(run.RunToEnd(1));
    ASSERT_NE(run.Finished(0), nullptr);
    EXPECT_TRUE(run.Finished(0)->success) << run.Finished(0)->text;
    EXPECT_EQ(Contents(planned), "the user's document");
    const fs::path taken = folder.Path() / "clip (1).mp3";
    EXPECT_EQ(run.log.written[0], taken.string());
    EXPECT_EQ(Probe(taken).Count("audio"), 1);
    EXPECT_EQ(SortedNames(folder), (std::vector<std::string>{"clip (1).mp3", "clip.mp3"}));
}

// Two converters started at once with the same output name: both outputs survive.
TEST(NoReplace, TwoRunsWritingOneNameKeepBothOutputs) {
    TempFolder folder;
    const fs::path planned = folder.Path() / "same.mp3";
    QueueRun first;
    QueueRun second;
    ASSERT_EQ(first.Add(TestMedia().audioOnly, planned, kAudioOptions), 0);
    ASSERT_EQ(second.Add(TestMedia().coverArtMp3, planned, kAudioOptions), 0);
    ASSERT_EQ(first.encoder->StartTasks(1), 0);
    ASSERT_TRUE(second.RunToEnd(1));
    ASSERT_TRUE(
        first.queue.RunUntil([&] { return first.log.queueEnds > 0; }, std::chrono::seconds(60)));
    ASSERT_TRUE(first.Finished(0) && first.Finished(0)->success);
    ASSERT_TRUE(second.Finished(0) && second.Finished(0)->success);
    EXPECT_NE(first.log.written[0], second.log.written[0]);
    EXPECT_EQ(SortedNames(folder), (std::vector<std::string>{"same (1).mp3", "same.mp3"}));
}

TEST(NoReplace, TheNextFreeNameCountsOnFromANumberedName) {
    TempFolder folder;
    struct Case {
        std::vector<std::string> taken;
        std::string target;
        std::string expected;
    };
    const Case cases[] = {
        {{}, "a.mp4", "a.mp4"},
        {{"a.mp4"}, "a.mp4", "a (1).mp4"},
        {{"a.mp4", "a (1).mp4", "a (2).mp4"}, "a.mp4", "a (3).mp4"},
        {{"b (2).mp4"}, "b (2).mp4", "b (3).mp4"},
        {{"noext"}, "noext", "noext (1)"},
        {{"c.d.mkv"}, "c.d.mkv", "c.d (1).mkv"},
    };
    for (const Case& c : cases) {
        TempFolder cleanFolder;
        for (const std::string& name : c.taken) {
            Write(cleanFolder.Path() / name, name);
        }
        const fs::path source = cleanFolder.Path() / "source";
        Write(source, "new");
        std::string error;
        const std::string written = ff::RenameWithoutReplacing(
            source.string(), (cleanFolder.Path() / c.target).string(), error);
        EXPECT_EQ(written, (cleanFolder.Path() / c.expected).string()) << c.target << error;
        for (const std::string& name : c.taken) {
            EXPECT_EQ(Contents(cleanFolder.Path() / name), name);
        }
        EXPECT_FALSE(fs::exists(source));
    }
}

// Links at every name the temporary file could once have had (pid and a counter) point at a
// file outside the run; the conversion must not write through them.
TEST(TemporaryFile, APlantedLinkIsNotFollowed) {
    TempFolder folder;
    TempFolder elsewhere;
    const fs::path victim = elsewhere.Path() / "victim.txt";
    Write(victim, "precious");
    const std::string pid = std::to_string(static_cast<long>(getpid()));
    for (int n = 0; n < 64; ++n) {
        fs::create_symlink(
            victim, folder.Path() / (".out.ostrel-tmp-" + pid + "-" + std::to_string(n) + ".mp3"));
    }
    QueueRun run;
    ASSERT_EQ(run.Add(TestMedia().audioOnly, folder.Path() / "out.mp3", kAudioOptions), 0);
    ASSERT_TRUE(run.RunToEnd(1));
    ASSERT_NE(run.Finished(0), nullptr);
    EXPECT_TRUE(run.Finished(0)->success) << run.Finished(0)->text;
    EXPECT_EQ(Contents(victim), "precious");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder.Path() / "out.mp3")));
    EXPECT_EQ(Probe(folder.Path() / "out.mp3").Count("audio"), 1);
    EXPECT_EQ(SortedNames(folder).size(), 65u);  // the links and the output
}

TEST(TemporaryFile, NamesAreRandomAndFitWhereTheOutputFits) {
    const std::string pid = std::to_string(static_cast<long>(getpid()));
    EXPECT_EQ(ff::TemporaryPathFor("/d/clip.mp4", "0a1b2c3d"),
              "/d/.clip.ostrel-tmp-" + pid + "-0a1b2c3d.mp4");
    EXPECT_EQ(ff::TemporaryFileOwner(".clip.ostrel-tmp-" + pid + "-0a1b2c3d.mp4"), getpid());
    const std::string longStem(251, 'x');
    const std::string longName =
        fs::path(ff::TemporaryPathFor("/d/" + longStem + ".mp4", "0a1b2c3d")).filename().string();
    EXPECT_EQ(longName.size(), 255u);
    EXPECT_EQ(ff::TemporaryFileOwner(longName), getpid());
    // A multi-byte character is not cut in two.
    std::string accented;
    for (int i = 0; i < 126; ++i) {
        accented += "\xc3\xa9";
    }
    const std::string shortened =
        fs::path(ff::TemporaryPathFor("/d/" + accented + ".mp4", "0a1b2c3d")).filename().string();
    EXPECT_LE(shortened.size(), 255u);
    EXPECT_EQ(shortened.find("\xc3."), std::string::npos);
    for (const char* notOurs :
         {"clip.mp4", ".clip.ostrel-tmp-12-xyz.mp4", ".clip.ostrel-tmp--1.mp4",
          ".clip.ostrel-tmp-12-0a1b2c3d9.mp4", "x.ostrel-tmp-12-0a1b2c3d"}) {
        EXPECT_EQ(ff::TemporaryFileOwner(notOurs), 0) << notOurs;
    }
}

// A name of 250 bytes fits the file system, so its conversion succeeds.
TEST(TemporaryFile, ALongValidNameConverts) {
    TempFolder folder;
    const std::string name = std::string(246, 'n') + ".mp3";
    QueueRun run;
    ASSERT_EQ(run.Add(TestMedia().audioOnly, folder.Path() / name, kAudioOptions), 0);
    ASSERT_TRUE(run.RunToEnd(1));
    ASSERT_NE(run.Finished(0), nullptr);
    EXPECT_TRUE(run.Finished(0)->success) << run.Finished(0)->text;
    EXPECT_EQ(SortedNames(folder), std::vector<std::string>{name});
}

// A process that has ended: its pid is free until something reuses it.
long DeadPid() {
    const pid_t child = fork();
    if (child == 0) {
        _exit(0);
    }
    waitpid(child, nullptr, 0);
    return static_cast<long>(child);
}

TEST(TemporaryFile, LeftoversOfDeadRunsAreSweptAtTheNextRun) {
    TempFolder folder;
    TempFolder elsewhere;
    const std::string dead = std::to_string(DeadPid());
    const std::string living = std::to_string(static_cast<long>(getppid()));
    const std::string self = std::to_string(static_cast<long>(getpid()));
    const std::string stale = ".a.ostrel-tmp-" + dead + "-0a1b2c3d.mp4";
    const std::vector<std::string> kept = {
        ".b.ostrel-tmp-" + living + "-0a1b2c3d.mp4",  // its process still runs
        ".c.ostrel-tmp-" + self + "-0a1b2c3d.mp4",    // this process's own
        ".d.ostrel-tmp-" + dead + "-0a1b2c3d",        // a link, not a file of ours
        ".e.ostrel-tmp-" + dead + ".mp4",             // not a name the engine makes
        "f.ostrel-tmp-" + dead + "-0a1b2c3d.mp4",     // not hidden: the user's
    };
    Write(folder.Path() / stale, "partial");
    for (const std::string& name : kept) {
        if (name.rfind(".d.", 0) == 0) {
            Write(elsewhere.Path() / "target", "kept");
            fs::create_symlink(elsewhere.Path() / "target", folder.Path() / name);
        } else {
            Write(folder.Path() / name, "kept");
        }
    }
    QueueRun run;
    ASSERT_EQ(run.Add(TestMedia().audioOnly, folder.Path() / "out.mp3", kAudioOptions), 0);
    ASSERT_TRUE(run.RunToEnd(1));
    EXPECT_FALSE(fs::exists(folder.Path() / stale));
    for (const std::string& name : kept) {
        EXPECT_TRUE(fs::exists(fs::symlink_status(folder.Path() / name))) << name;
    }
    EXPECT_EQ(Contents(elsewhere.Path() / "target"), "kept");
    EXPECT_TRUE(fs::exists(folder.Path() / "out.mp3"));
}

}  // namespace
}  // namespace ostrel::engine::testing
