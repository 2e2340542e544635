// Files made by other people: complete ones are converted whole, cut or broken ones fail with
// a text that says so, and nothing is left behind either way.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/ffmpeg/length_check.h"
#include "engine_fixture.h"

namespace ostrel::engine::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kMp4 = "-ac 2 -vcodec libx264 -vpre libx264-ultrafast -vb 300k -ab 64k";
constexpr const char* kMkv =
    "-ac 2 -vcodec libx264 -vpre libx264-ultrafast -vb 300k  -acodec "
    "libmp3lame -ab 64k -ar 44100";
constexpr const char* kAvi = "-ac 2 -vcodec libxvid -vb 300k -acodec libmp3lame -ab 64k";
constexpr const char* kMp3 = "-ac 2 -vn -ab 64k";

struct Outcome {
    bool success = false;
    std::string text;
    std::string written;
    std::vector<std::string> files;  // what the output folder holds afterwards
};

Outcome ConvertIn(const TempFolder& folder, const fs::path& input, const std::string& name,
                  const std::string& options) {
    QueueRun run;
    Outcome outcome;
    const int task = run.Add(input, folder.Path() / name, options);
    EXPECT_GE(task, 0) << run.encoder->LastError();
    if (task < 0 || !run.RunToEnd(2) || run.Finished(task) == nullptr) {
        ADD_FAILURE() << "no end for " << input;
        return outcome;
    }
    outcome.success = run.Finished(task)->success;
    outcome.text = run.Finished(task)->text;
    outcome.written = run.log.written[task];
    outcome.files = folder.FileNames();
    return outcome;
}

// Points of the length check, each a file, a profile and what must come of it.
struct LengthCase {
    const char* name;
    fs::path input;
    std::string options;
    std::string extension;
    const char* errorPart;   // empty: must succeed
    double expectedSeconds;  // the output's length when it succeeds (ffprobe), ±0.15 s
};

TEST(LengthCheck, CutFilesFailCompleteOnesPass) {
    const Media& m = TestMedia();
    const std::vector<LengthCase> cases = {
        // Their headers declare 20 s; FFmpeg alone would take the 2 s present as the whole.
        {"cut avi", m.cutAvi, kMp4, "mp4", "The input file ends early: ", 0},
        {"cut wav", m.cutWav, kMp3, "mp3", "The input file ends early: ", 0},
        {"cut mp4", m.truncated, kMp4, "mp4", "The input file ends early: ", 0},
        // The last frame lasts its own duration.
        {"15 fps", m.fps15, kMp4, "mp4", "", 1.0},
        {"5 fps", m.fps5, kMp4, "mp4", "", 2.0},
        {"5 frames at 90 fps", m.fps90, kMp4, "mp4", "", 5.0 / 90.0},
        // Streams of unequal length; the subtitle ends last and is carried into the MKV.
        {"unequal streams", m.unequalMkv, kMkv, "mkv", "", 4.0},
        {"unequal streams, video only", m.unequalMkv, kAvi + std::string(" -an"), "avi", "", 1.0},
        // Streams that are not converted are not read; they still count for the input's end:
        // the subtitle that lasts until 4 s keeps the 2 s of sound from counting as cut.
        {"unequal streams, sound only", m.unequalMkv, kMp3, "mp3", "", 2.0},
        {"cut avi, sound only", m.cutAvi, kMp3, "mp3", "The input file ends early: ", 0},
        {"cut mp4, sound only", m.truncated, kMp3, "mp3", "The input file ends early: ", 0},
        // The last picture of a slow video lasts until the input's end.
        {"1 fps", m.slowMkv, kMp4, "mp4", "", 10.0},
        // Lengths count from the first sample played: packets skipped at the start (an Opus
        // pre-skip of 1.37 s of 3 s) or a start that comes late (an edit list) cut nothing.
        {"long pre-skip", m.longPreSkipOpus, kMp3, "mp3", "", 3.0 - 65535.0 / 48000},
        {"late start", m.lateMp4, kMp4, "mp4", "", 1.0},
    };
    for (const LengthCase& c : cases) {
        TempFolder folder;
        const Outcome outcome = ConvertIn(folder, c.input, "out." + c.extension, c.options);
        if (*c.errorPart != '\0') {
            EXPECT_FALSE(outcome.success) << c.name;
            EXPECT_NE(outcome.text.find(c.errorPart), std::string::npos)
                << c.name << ": " << outcome.text;
            EXPECT_TRUE(outcome.files.empty()) << c.name;
        } else {
            ASSERT_TRUE(outcome.success) << c.name << ": " << outcome.text;
            const ProbeResult probe = Probe(folder.Path() / ("out." + c.extension));
            EXPECT_NEAR(probe.durationSeconds, c.expectedSeconds, 0.15) << c.name;
        }
    }
}

// Only the converted streams are read. A picture that lasts well beyond the sound, past what
// opening the file reads ahead, must not make a complete file count as cut; the same file cut
// short still fails.
TEST(LengthCheck, StreamsNotReadStillCountForTheEnd) {
    TempFolder folder;
    const fs::path whole = folder.Path() / "long picture.mp4";
    ASSERT_TRUE(RunCommand(
        "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=160x120:rate=25:duration=12 "
        "-f lavfi -i sine=duration=2 -c:v libx264 -preset ultrafast -c:a aac " +
        Quote(whole)));
    const Outcome sound = ConvertIn(folder, whole, "sound.mp3", kMp3);
    ASSERT_TRUE(sound.success) << sound.text;
    EXPECT_NEAR(Probe(folder.Path() / "sound.mp3").durationSeconds, 2.0, 0.15);

    const fs::path cut = folder.Path() / "cut.avi";
    ASSERT_TRUE(RunCommand(
        "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=160x120:rate=25:duration=12 "
        "-f lavfi -i sine=duration=2 -c:v mpeg4 -c:a libmp3lame " +
        Quote(folder.Path() / "whole.avi")));
    const auto size = fs::file_size(folder.Path() / "whole.avi");
    fs::copy_file(folder.Path() / "whole.avi", cut);
    fs::resize_file(cut, size / 2);
    const Outcome cutSound = ConvertIn(folder, cut, "cut.mp3", kMp3);
    EXPECT_FALSE(cutSound.success);
    EXPECT_NE(cutSound.text.find("The input file ends early: "), std::string::npos)
        << cutSound.text;
}

TEST(LengthCheck, TheCutTextNamesBothLengths) {
    TempFolder folder;
    const Outcome outcome = ConvertIn(folder, TestMedia().cutWav, "out.wav", "-ac 1 -vn  -ar 8000");
    EXPECT_EQ(outcome.text, "The input file ends early: 2.0 s of 20.0 s");
}

TEST(LengthCheck, DeclaredLengthsOfRiffHeaders) {
    const Media& m = TestMedia();
    using ff::LengthCheck;
    EXPECT_NEAR(static_cast<double>(LengthCheck::RiffDeclaredUs(m.cutAvi.string())) / 1e6, 20.0,
                0.05);
    EXPECT_NEAR(static_cast<double>(LengthCheck::RiffDeclaredUs(m.cutWav.string())) / 1e6, 20.0,
                0.001);
    EXPECT_NEAR(static_cast<double>(LengthCheck::RiffDeclaredUs(m.audioOnly.string())) / 1e6, 2.0,
                0.001);
    EXPECT_EQ(LengthCheck::RiffDeclaredUs(m.videoWithAudio.string()), 0);
    EXPECT_EQ(LengthCheck::RiffDeclaredUs(m.corrupt.string()), 0);
    EXPECT_EQ(LengthCheck::RiffDeclaredUs((m.folder / "missing.wav").string()), 0);
    EXPECT_EQ(LengthCheck::ToleranceUs(2'000'000), 1'000'000);
    EXPECT_EQ(LengthCheck::ToleranceUs(7'200'000'000LL), 72'000'000);
}

TEST(EmptyResults, AStreamWithoutFramesIsAnError) {
    TempFolder folder;
    const Outcome outcome = ConvertIn(folder, TestMedia().zeroPts, "out.mp4", kMp4);
    if (outcome.success) {
        // Whatever could be made of it must then be a real picture of the input's length.
        const ProbeResult probe = Probe(folder.Path() / "out.mp4");
        EXPECT_EQ(probe.Count("video"), 1);
        EXPECT_GT(probe.durationSeconds, 0.0);
    } else {
        EXPECT_TRUE(outcome.files.empty());
    }
}

// The sanitizers' own memory counts too: AddressSanitizer's quarantine of freed memory,
// ThreadSanitizer's shadow of every byte touched.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr long kRssGrowthLimitKb = 1200 * 1024;
#else
constexpr long kRssGrowthLimitKb = 400 * 1024;
#endif

// A preallocated download: 2 s of sound, then a gigabyte of zeros.
TEST(DamagedTail, StopsEarlyWithFlatMemory) {
    TempFolder folder;
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    const Outcome outcome = ConvertIn(folder, TestMedia().zeroTailMp3, "out.mp3", kMp3);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_FALSE(outcome.success);
    EXPECT_NE(outcome.text.find("The rest of the input file is damaged"), std::string::npos)
        << outcome.text;
    EXPECT_TRUE(outcome.files.empty());
    // Reading the whole gigabyte takes minutes on a busy machine (more under a sanitizer) and
    // grew the demuxer's buffers past 2 GB; 64 MB are read before it stops.
    EXPECT_LT(elapsed, 90s);
    RecordProperty("rssGrowthKb", static_cast<int>(after.ru_maxrss - before.ru_maxrss));
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, kRssGrowthLimitKb) << "kB";
}

TEST(StreamChoice, StreamsWithoutPacketsArePassedOver) {
    const Media& m = TestMedia();
    for (const auto& [input, options, extension] :
         {std::tuple{m.emptyFirstAudio, std::string(kMp3), std::string("mp3")},
          std::tuple{m.threeVideoWmv, std::string(kMp4), std::string("mp4")}}) {
        TempFolder folder;
        const Outcome outcome = ConvertIn(folder, input, "out." + extension, options);
        ASSERT_TRUE(outcome.success) << input << ": " << outcome.text;
        const ProbeResult probe = Probe(folder.Path() / ("out." + extension));
        EXPECT_NEAR(probe.durationSeconds, 2.0, 0.15) << input;
    }
}

// The grey level at the centre of each quadrant of a frame scaled to 8x8, row by row.
std::vector<int> Quadrants(const fs::path& file, int& width, int& height) {
    const ProbeResult probe = Probe(file);
    const auto* video = probe.Stream("video");
    width = video != nullptr ? std::stoi(video->at("width")) : 0;
    height = video != nullptr ? std::stoi(video->at("height")) : 0;
    const std::string command = "ffmpeg -nostdin -v error -i '" + file.string() +
                                "' -frames:v 1 -vf scale=8:8,format=gray -f rawvideo - 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    std::vector<unsigned char> pixels(64);
    const std::size_t got = pipe != nullptr ? std::fread(pixels.data(), 1, 64, pipe) : 0;
    if (pipe != nullptr) {
        pclose(pipe);
    }
    if (got != 64) {
        return {};
    }
    return {pixels[2 * 8 + 2], pixels[2 * 8 + 5], pixels[5 * 8 + 2], pixels[5 * 8 + 5]};
}

// Quadrant levels of the stored picture, by row: top-left, top-right, bottom-left, bottom-right.
constexpr int kStoredLevels[4] = {30, 90, 150, 220};

TEST(Orientation, AllEightDisplayMatricesShowThePictureAsMeant) {
    for (std::size_t i = 0; i < 8; ++i) {
        const int* m = kOrientations[i];
        TempFolder folder;
        const Outcome outcome =
            ConvertIn(folder, TestMedia().orientations[i], "out.mkv", kMkv + std::string(" -an"));
        ASSERT_TRUE(outcome.success) << i << ": " << outcome.text;
        int width = 0;
        int height = 0;
        const std::vector<int> shown = Quadrants(folder.Path() / "out.mkv", width, height);
        ASSERT_EQ(shown.size(), 4u) << i;
        const bool turned = m[0] == 0;
        EXPECT_EQ(width, turned ? 32 : 64) << i;
        EXPECT_EQ(height, turned ? 64 : 32) << i;
        for (int q = 0; q < 4; ++q) {
            // A stored quadrant's centre (x, y) = (±1, ±1) is shown at (a x + c y, b x + d y).
            const int x = q % 2 == 0 ? -1 : 1;
            const int y = q < 2 ? -1 : 1;
            const int shownX = m[0] * x + m[2] * y;
            const int shownY = m[1] * x + m[3] * y;
            const int at = (shownY < 0 ? 0 : 2) + (shownX < 0 ? 0 : 1);
            // The grey conversion spreads the video range 16..235 over 0..255.
            const int level = (kStoredLevels[q] - 16) * 255 / 219;
            EXPECT_NEAR(shown[static_cast<std::size_t>(at)], level, 12)
                << "orientation " << i << ", stored quadrant " << q;
        }
    }
}

}  // namespace
}  // namespace ostrel::engine::testing
