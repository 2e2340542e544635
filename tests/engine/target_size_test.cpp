// Encoding to a file size: outputs land on the size, a size too small fails before anything is
// encoded, and a stopped two-pass task leaves neither its output nor its statistics behind.
// Constant quality in two passes ("-passes 2").
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/ffmpeg/target_size.h"
#include "engine_fixture.h"

namespace ostrel::engine::testing {
namespace {

namespace fs = std::filesystem;

// Noisy pictures, so that no encoder reaches a size by running out of things to code.
fs::path NoisyClip(const fs::path& folder, int seconds) {
    const fs::path clip = folder / ("noisy" + std::to_string(seconds) + ".mkv");
    MustRun("ffmpeg -v error -y -f lavfi -i \"testsrc2=size=320x240:rate=25:d=" +
            std::to_string(seconds) +
            ",noise=alls=25:allf=t\" -f lavfi -i sine=frequency=440:sample_rate=44100:d=" +
            std::to_string(seconds) + " -c:v libx264 -preset ultrafast -crf 8 -c:a aac " +
            Quote(clip));
    return clip;
}

int PassFolders() {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(fs::temp_directory_path())) {
        count += entry.path().filename().string().rfind("ostrel-pass-", 0) == 0 ? 1 : 0;
    }
    return count;
}

TEST(TargetSize, OutputsLandOnTheSize) {
    const TempFolder clips;
    const fs::path clip[] = {NoisyClip(clips.Path(), 2), NoisyClip(clips.Path(), 4),
                             NoisyClip(clips.Path(), 6)};
    const std::string x264 = "-ac 2 -vcodec libx264 -vpre libx264-veryfast -ab 96k -s 320x240";
    const std::string x265 = "-ac 2 -vcodec libx265 -ab 96k -s 320x240";
    const std::string mpeg4 = "-ac 2 -vb 512k -ab 96k -s 320x240";
    const struct {
        int clip;
        int kbps;  // the whole file's rate the target stands for
        const std::string& options;
        const char* ext;
        double tolerance;  // two passes ±3 %, one pass ±10 %
    } kCases[] = {
        {0, 250, x264, "mp4", 0.03},
        {0, 400, x264, "mp4", 0.03},
        {0, 600, x264, "mp4", 0.03},
        {0, 900, x264, "mp4", 0.03},
        {1, 250, x264, "mp4", 0.03},
        {1, 400, x264, "mp4", 0.03},
        {1, 600, x264, "mp4", 0.03},
        {1, 900, x264, "mp4", 0.03},
        {2, 250, x264, "mp4", 0.03},
        {2, 400, x264, "mp4", 0.03},
        {2, 600, x264, "mp4", 0.03},
        {2, 900, x264, "mp4", 0.03},
        // x265's second pass undershoots a little more than x264's on 6 s (-3.1 % measured).
        {2, 400, x265, "mp4", 0.035},
        {2, 900, x265, "mp4", 0.035},
        {0, 600, mpeg4, "mp4", 0.10},
        {2, 900, mpeg4, "mp4", 0.10},
    };
    const TempFolder out;
    QueueRun run;
    std::vector<std::int64_t> targets;
    for (const auto& c : kCases) {
        const int seconds = 2 * (c.clip + 1);
        targets.push_back(std::int64_t{c.kbps} * 1000 * seconds / 8);
        const fs::path output = out.Path() / ("out" + std::to_string(targets.size()) + "." + c.ext);
        ASSERT_GE(run.Add(clip[c.clip], output,
                          c.options + " -target_size " + std::to_string(targets.back())),
                  0);
    }
    ASSERT_TRUE(run.RunToEnd(2, std::chrono::seconds(600)));
    for (std::size_t task = 0; task < std::size(kCases); ++task) {
        const FinishedEvent* finished = run.Finished(static_cast<int>(task));
        ASSERT_TRUE(finished != nullptr && finished->success) << task;
        const auto size =
            static_cast<double>(fs::file_size(run.log.written.at(static_cast<int>(task))));
        const double target = static_cast<double>(targets[task]);
        EXPECT_NEAR(size / target, 1.0, kCases[task].tolerance)
            << "case " << task << ": " << size << " bytes for " << target;
    }
    // Progress counts both passes: it never goes back.
    std::map<int, std::int64_t> last;
    for (const ProgressEvent& p : run.log.progress) {
        EXPECT_GE(p.positionUs, last[p.task]) << p.task;
        last[p.task] = p.positionUs;
    }
}

// How long a stop may take. libx265 lets its threads finish the pictures they hold before it
// closes; under the thread sanitizer, beside other tests, that has taken over two seconds
// (a few milliseconds in the other builds).
#if defined(__SANITIZE_THREAD__)
constexpr std::chrono::milliseconds kStopLimit{8000};
#else
constexpr std::chrono::milliseconds kStopLimit{1500};
#endif

TEST(TargetSize, TooSmallFailsFirstAndStopLeavesNothing) {
    const TempFolder clips;
    const fs::path clip = NoisyClip(clips.Path(), 6);
    const TempFolder out;
    // The pass folders go to a temporary folder of this test's own, so that the other tests
    // running beside it (which make pass folders too) cannot be counted.
    const TempFolder passes;
    const char* const earlierTmp = std::getenv("TMPDIR");
    const std::string restoreTmp = earlierTmp != nullptr ? earlierTmp : "";
    ::setenv("TMPDIR", passes.Path().c_str(), 1);
    const int foldersBefore = PassFolders();
    EXPECT_EQ(foldersBefore, 0);
    {
        QueueRun run;
        ASSERT_GE(run.Add(clip, out.Path() / "small.mp4",
                          "-vcodec libx264 -ab 128k -s 320x240 -target_size 50000"),
                  0);
        ASSERT_TRUE(run.RunToEnd(2));
        ASSERT_NE(run.Finished(0), nullptr);
        EXPECT_NE(run.Finished(0)->text.find("the smallest size that works is 0.2 MB"),
                  std::string::npos)
            << run.Finished(0)->text;
        EXPECT_TRUE(run.log.progress.empty());
    }
#if defined(__SANITIZE_ADDRESS__)
    // FFmpeg 5.1's libx265 wrapper loses the 8 bytes it keeps with each picture still inside
    // the encoder when it is closed early, which the leak check would report; the other builds
    // stop libx265 as well.
    const char* const codecs[] = {"libx264"};
#else
    const char* const codecs[] = {"libx264", "libx265"};
#endif
    for (const char* codec : codecs) {
        QueueRun run;
        ASSERT_GE(run.Add(clip, out.Path() / "stopped.mp4",
                          std::string("-vcodec ") + codec + " -s 320x240 -target_size 400000"),
                  0);
        ASSERT_GE(run.encoder->StartTasks(2), 0);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (run.log.progress.empty() && std::chrono::steady_clock::now() < deadline) {
            run.queue.RunPending(std::chrono::milliseconds(5));
        }
        const auto stopAt = std::chrono::steady_clock::now();
        run.encoder->StopTasks(true);
        EXPECT_LT(std::chrono::steady_clock::now() - stopAt, kStopLimit) << codec;
        EXPECT_EQ(PassFolders(), foldersBefore) << codec;
    }
    EXPECT_TRUE(out.FileNames().empty());
    if (earlierTmp != nullptr) {
        ::setenv("TMPDIR", restoreTmp.c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }
}

std::string Bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// "-passes 2" encodes the video twice, the first time to learn it: a different file from one
// pass at the same quality. A video that is copied has nothing to learn, and is copied.
TEST(TwoPasses, ConstantQualityLearnsFirstAndACopyIsNotEncoded) {
    const TempFolder clips;
    const fs::path clip = NoisyClip(clips.Path(), 2);  // H.264 320x240 and AAC
    const std::string vp9 =
        "-ac 2 -vcodec libvpx-vp9 -deadline good -cpu-used 8 -row-mt 1 -crf 40 -b:v 0 "
        "-acodec libopus -ab 64k -ar 48000 -s 320x240";
    const std::string copy =
        "-ac 2 -vcodec libx264 -vpre libx264-veryfast -ab 128k -ar 44100 -s 320x240 "
        "-copy_when_fits vb,ab,ar,r,ac -passes 2";
    const struct {
        const char* name;
        std::string options;
        bool copiesVideo;
    } kCases[] = {
        {"one.webm", vp9, false},
        {"two.webm", vp9 + " -passes 2", false},
        {"copied.mp4", copy, true},
    };
    const TempFolder out;
    QueueRun run;
    for (const auto& c : kCases) {
        ASSERT_GE(run.Add(clip, out.Path() / c.name, c.options), 0) << c.name;
    }
    ASSERT_TRUE(run.RunToEnd(1, std::chrono::seconds(180)));
    for (int task = 0; task < static_cast<int>(std::size(kCases)); ++task) {
        SCOPED_TRACE(kCases[task].name);
        ASSERT_NE(run.Finished(task), nullptr);
        EXPECT_TRUE(run.Finished(task)->success) << run.Finished(task)->text;
        const ProbeResult probe = Probe(out.Path() / kCases[task].name);
        EXPECT_NEAR(probe.durationSeconds, 2.0, 0.1);
        EXPECT_EQ((run.log.copied[task] & kCopiedVideoStream) != 0, kCases[task].copiesVideo);
    }
    EXPECT_NE(Bytes(out.Path() / "one.webm"), Bytes(out.Path() / "two.webm"));
}

}  // namespace
}  // namespace ostrel::engine::testing
