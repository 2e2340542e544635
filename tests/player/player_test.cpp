// Playback from open to end: events in order through the host's poster, pictures at the
// display size, pause and resume, and a close that ends every thread at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>

#include "engine_fixture.h"
#include "player_support.h"

namespace ostrel::engine::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// CloseMedia's limit. The thread sanitizer slows every thread many times over, and on a shared
// machine its threads may wait long for a core: there the bound is only loose.
constexpr auto kCloseLimit = kTimingChecks ? 200ms : 1000ms;

// Plays a moment and closes, so that threads a process starts once and keeps (the thread
// sanitizer's own) are there before a test counts threads.
void WarmUp() {
    PlayerHost host;
    ASSERT_TRUE(host.Open(Clips().videoOnly));
    ASSERT_TRUE(host.RunUntil([&] { return !host.surface.shown.empty(); }));
    host.player->CloseMedia(false);
}

TEST(PlayerMedia, Generates) {
    for (const fs::path& clip : {Clips().h264Aac, Clips().mpeg4Mp3, Clips().portrait,
                                 Clips().audioOnly, Clips().videoOnly, Clips().long905}) {
        EXPECT_TRUE(fs::exists(clip)) << clip;
    }
}

// Every kind of clip plays from open to its end: the duration first, then positions that grow,
// pictures of the clip's own size, and the end exactly once, near the clip's length in time.
TEST(Player, PlaysEachKindOfClipToItsEnd) {
    struct Case {
        const char* name;
        fs::path clip;
        bool audioDevice;
        bool audioOutput;  // the sound plays on the device
        double seconds;
        int width;  // of the pictures (0: sound only, a black frame of no size)
        int height;
    };
    const Case cases[] = {
        {"h264/aac", Clips().h264Aac, true, true, 3.0, 320, 240},
        {"mpeg4/mp3", Clips().mpeg4Mp3, true, true, 2.0, 320, 240},
        {"video only", Clips().videoOnly, true, false, 1.5, 160, 120},
        {"audio only", Clips().audioOnly, true, true, 1.5, 0, 0},
        {"no audio device", Clips().h264Aac, false, false, 3.0, 320, 240},
        // What the newer profiles write (AV1 through libdav1d).
        {"hevc 10-bit/aac", Clips().hevc10Aac, true, true, 1.5, 320, 240},
        {"av1/opus", Clips().av1Opus, true, true, 1.5, 320, 240},
        {"vp9/opus", Clips().vp9Opus, true, true, 1.5, 320, 240},
        {"alac", Clips().alac, true, true, 1.5, 0, 0},
    };
    for (const Case& c : cases) {
        if (c.audioDevice) {
            UseDiskAudio();
        } else {
            UseNoAudioDevice();
        }
        PlayerHost host;
        const auto start = Clock::now();
        ASSERT_TRUE(host.Open(c.clip)) << c.name << ": " << host.player->LastError();
        EXPECT_EQ(host.player->PlayState(), kPlayerPlaying) << c.name;
        ASSERT_TRUE(host.RunUntil([&] { return host.Count(kPlayerEnded) > 0; }, 20s)) << c.name;
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        host.RunFor(300ms);  // nothing more after the end

        EXPECT_EQ(host.player->Statistics().audioOutput, c.audioOutput) << c.name;
        EXPECT_EQ(host.durationEvents, 1) << c.name;
        EXPECT_NEAR(host.durationUs / 1e6, c.seconds, 0.1) << c.name;
        EXPECT_FALSE(host.positionBeforeDuration) << c.name;
        ASSERT_GE(host.positions.size(), 5u) << c.name;
        EXPECT_TRUE(std::is_sorted(host.positions.begin(), host.positions.end())) << c.name;
        EXPECT_GT(host.positions.back() / 1e6, c.seconds - 0.3) << c.name;
        EXPECT_EQ(host.Count(kPlayerEnded), 1) << c.name;
        EXPECT_EQ(host.states.front(), kPlayerPlaying) << c.name;
        EXPECT_EQ(host.player->PlayState(), kPlayerEnded) << c.name;
        EXPECT_TRUE(host.player->IsPaused()) << c.name;
        // Played in real time, not faster, and without stalling.
        EXPECT_GT(wall, c.seconds - 0.2) << c.name;
        EXPECT_LT(wall, c.seconds + 2.5) << c.name;
        ASSERT_FALSE(host.surface.shown.empty()) << c.name;
        EXPECT_FALSE(host.surface.wrongThread) << c.name;
        EXPECT_FALSE(host.wrongThread) << c.name;
        if (c.width > 0) {
            const auto& last = host.surface.shown.back().frame;
            ASSERT_NE(last, nullptr) << c.name;
            EXPECT_EQ(last->width, c.width) << c.name;
            EXPECT_EQ(last->height, c.height) << c.name;
            EXPECT_EQ(last->stride, c.width * 4) << c.name;
            // Every picture of the 25 fps clip is shown or, when the machine is too slow for it,
            // counted as dropped; most are shown even on a loaded machine.
            const ff::PlayerStatistics stats = host.player->Statistics();
            const double pictures = c.seconds * 25;
            EXPECT_GE(static_cast<double>(stats.framesShown + stats.framesDropped), pictures * 0.95)
                << c.name;
            if (kTimingChecks) {
                EXPECT_GT(static_cast<double>(host.surface.shown.size()), pictures * 0.4) << c.name;
            }
        }
    }
}

// Pause freezes the position and the picture; resume goes on from where it stopped.
TEST(Player, PauseFreezesAndResumeContinues) {
    UseDiskAudio();
    PlayerHost host;
    ASSERT_TRUE(host.Open(Clips().long905)) << host.player->LastError();
    ASSERT_TRUE(
        host.RunUntil([&] { return !host.positions.empty() && host.positions.back() > 500'000; }));
    host.player->Pause();
    EXPECT_TRUE(host.player->IsPaused());
    EXPECT_EQ(host.player->PlayState(), kPlayerPaused);
    host.RunFor(150ms);
    const std::size_t positions = host.positions.size();
    const std::size_t frames = host.surface.shown.size();
    const std::int64_t pausedAt = host.positions.back();
    host.RunFor(700ms);
    EXPECT_EQ(host.positions.size(), positions) << "no position moves while paused";
    EXPECT_EQ(host.surface.shown.size(), frames) << "the picture is frozen";

    host.player->TogglePause();
    EXPECT_FALSE(host.player->IsPaused());
    EXPECT_EQ(host.player->PlayState(), kPlayerPlaying);
    ASSERT_TRUE(host.RunUntil([&] { return host.positions.size() > positions + 3; }));
    // No jump: the first positions after resume continue from the paused one.
    EXPECT_GE(host.positions[positions], pausedAt);
    EXPECT_LT(host.positions[positions] - pausedAt, 300'000);
    EXPECT_EQ(host.Count(kPlayerPaused), 1);
    EXPECT_EQ(host.Count(kPlayerPlaying), 2);
}

// Pictures come at the display size with their shape kept, and upright for a turned clip.
TEST(Player, DisplaySizeKeepsTheShapeAndTurnsPhoneVideosUpright) {
    UseDiskAudio();
    PlayerHost host;
    ASSERT_TRUE(host.Open(Clips().portrait)) << host.player->LastError();
    ASSERT_TRUE(host.RunUntil([&] { return !host.surface.shown.empty(); }));
    host.player->Pause();
    const auto first = host.surface.shown.front().frame;
    ASSERT_NE(first, nullptr);
    // The stored 320x240 picture turned upright is 240x320.
    EXPECT_EQ(first->width, 240);
    EXPECT_EQ(first->height, 320);
    const std::vector<std::uint8_t> expected = FfmpegFrameAt(Clips().portrait, 0.0);
    ASSERT_EQ(expected.size(), first->pixels.size());
    EXPECT_EQ(Checksum(*first), Checksum(expected)) << "turned the way the ffmpeg tool turns it";

    host.player->SetDisplayWidth(320);
    host.player->SetDisplayHeight(200);
    host.player->ApplyDisplaySize();
    ASSERT_TRUE(host.RunUntil([&] { return host.Count(kPlayerRepaint) > 0; }));
    const auto resized = host.surface.shown.back().frame;
    ASSERT_NE(resized, nullptr);
    ASSERT_EQ(resized->width, 320);
    ASSERT_EQ(resized->height, 200);
    // 240x320 fits 320x200 as 150x200 in the middle: bars of 85 pixels left and right.
    auto pixel = [&](int x, int y) {
        const std::uint8_t* p = resized->pixels.data() + y * resized->stride + x * 4;
        return std::array<int, 4>{p[0], p[1], p[2], p[3]};
    };
    EXPECT_EQ(pixel(10, 100), (std::array<int, 4>{0, 0, 0, 255}));
    EXPECT_EQ(pixel(84, 100), (std::array<int, 4>{0, 0, 0, 255}));
    EXPECT_EQ(pixel(309, 100), (std::array<int, 4>{0, 0, 0, 255}));
    int lit = 0;
    for (int x = 86; x < 234; ++x) {
        const auto p = pixel(x, 100);
        lit += p[0] + p[1] + p[2] > 60 ? 1 : 0;
    }
    EXPECT_GT(lit, 50) << "the picture fills the middle";
}

// A display matrix that mirrors the picture is shown mirrored, as the conversion writes it:
// the red top-left quarter of the stored picture is on the top right, not turned to the
// bottom right as a half turn (the matrix's rotation angle alone) would put it.
TEST(Player, MirroredClipsShowMirrored) {
    UseDiskAudio();
    PlayerHost host;
    ASSERT_TRUE(host.Open(Clips().mirrored)) << host.player->LastError();
    ASSERT_TRUE(host.RunUntil([&] { return !host.surface.shown.empty(); }));
    host.player->Pause();
    const auto first = host.surface.shown.front().frame;
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(first->width, 160);
    ASSERT_EQ(first->height, 120);
    auto red = [&](int x, int y) {
        const std::uint8_t* p = first->pixels.data() + y * first->stride + x * 4;
        return p[2] > 150 && p[1] < 80 && p[0] < 80;  // BGRA
    };
    struct Quarter {
        const char* name;
        int x;
        int y;
        bool red;
    };
    const Quarter quarters[] = {
        {"top left", 40, 30, false},
        {"top right", 120, 30, true},
        {"bottom left", 40, 90, false},
        {"bottom right", 120, 90, false},
    };
    for (const Quarter& q : quarters) {
        EXPECT_EQ(red(q.x, q.y), q.red) << q.name;
    }
}

// Widths that are not a multiple of swscale's vector blocks: the picture is the ffmpeg tool's,
// and nothing is written outside the frame (the address sanitizer build checks that).
TEST(Player, PicturesOfAnyWidthAreWhole) {
    UseDiskAudio();
    for (const char* size : {"200x120", "1080x64", "202x90"}) {
        const fs::path clip = Clips().folder / (std::string("width-") + size + ".mp4");
        if (!fs::exists(clip)) {
            const std::string command =
                std::string("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=") + size +
                ":rate=25:duration=0.4 -c:v libx264 -preset ultrafast -pix_fmt yuv420p '" +
                clip.string() + "'";
            ASSERT_EQ(std::system(command.c_str()), 0) << command;
        }
        PlayerHost host;
        ASSERT_TRUE(host.Open(clip)) << host.player->LastError();
        ASSERT_TRUE(host.RunUntil([&] { return !host.surface.shown.empty(); })) << size;
        host.player->Pause();
        const auto first = host.surface.shown.front().frame;
        ASSERT_NE(first, nullptr) << size;
        EXPECT_EQ(Checksum(*first), Checksum(FfmpegFrameAt(clip, 0.0))) << size;
    }
}

// CloseMedia returns within 200 ms wherever playback is, leaves no thread behind, and nothing
// of the closed media reaches the host afterwards.
TEST(Player, CloseIsQuickAndFinal) {
    struct Case {
        const char* name;
        std::function<void(PlayerHost&)> before;
    };
    const Case cases[] = {
        {"playing", [](PlayerHost&) {}},
        {"paused", [](PlayerHost& host) { host.player->Pause(); }},
        {"seeking", [](PlayerHost& host) { host.Seek(60'000'000); }},
        {"ended",
         [](PlayerHost& host) {
             host.Seek(90'400'000);
             host.RunUntil([&] { return host.Count(kPlayerEnded) > 0; });
         }},
    };
    UseDiskAudio();
    WarmUp();
    const int threadsBefore = ThreadCount();
    for (const Case& c : cases) {
        PlayerHost host;
        ASSERT_TRUE(host.Open(Clips().long905)) << host.player->LastError();
        ASSERT_TRUE(host.RunUntil([&] { return host.surface.shown.size() > 3; })) << c.name;
        c.before(host);
        const auto start = Clock::now();
        host.player->CloseMedia(false);
        const auto took = Clock::now() - start;
        EXPECT_LT(took, kCloseLimit) << c.name;
        EXPECT_EQ(host.player->PlayState(), kPlayerClosed) << c.name;
        EXPECT_EQ(host.player->VideoWindow(), nullptr) << c.name;
        EXPECT_EQ(ThreadCount(), threadsBefore) << c.name << ": a thread outlived CloseMedia";
        const int posted = host.posted;
        const std::size_t frames = host.surface.shown.size();
        const std::size_t states = host.states.size();
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(host.posted, posted) << c.name << ": posted after CloseMedia";
        host.RunFor(50ms);
        EXPECT_EQ(host.surface.shown.size(), frames) << c.name << ": a frame after CloseMedia";
        EXPECT_EQ(host.states.size(), states) << c.name;
    }
}

// Opening and closing many times in a row works each time and leaks nothing (ASan).
TEST(Player, OpensAndClosesFiftyTimes) {
    UseDiskAudio();
    PlayerHost host;
    WarmUp();
    const int threadsBefore = ThreadCount();
    for (int i = 0; i < 50; ++i) {
        const fs::path& clip = i % 2 == 0 ? Clips().h264Aac : Clips().audioOnly;
        ASSERT_TRUE(host.Open(clip)) << i << ": " << host.player->LastError();
        if (i % 10 == 0) {
            ASSERT_TRUE(host.RunUntil([&] { return !host.surface.shown.empty(); })) << i;
        }
        host.player->CloseMedia(false);
    }
    EXPECT_EQ(ThreadCount(), threadsBefore);
    // The player still plays after all that.
    ASSERT_TRUE(host.Open(Clips().videoOnly));
    ASSERT_TRUE(host.RunUntil([&] { return host.Count(kPlayerEnded) > 0; }));
}

// Files that cannot be played say why; a cut file plays up to the damage and ends cleanly.
TEST(Player, BadFilesFailWithAReasonOrEndCleanly) {
    UseDiskAudio();
    TempFolder folder;
    const fs::path missing = folder.Path() / "gone.mp4";
    const fs::path text = folder.Path() / "notes.mp4";
    std::ofstream(text) << "not a media file";
    for (const fs::path& path : {missing, text}) {
        PlayerHost host;
        EXPECT_FALSE(host.Open(path)) << path;
        EXPECT_NE(host.player->LastError().find(path.string()), std::string::npos)
            << host.player->LastError();
        EXPECT_EQ(host.player->PlayState(), kPlayerClosed);
        host.RunFor(50ms);
        EXPECT_TRUE(host.states.empty());
        EXPECT_EQ(host.durationEvents, 0);
    }
    PlayerHost host;
    ASSERT_TRUE(host.Open(Clips().truncated)) << host.player->LastError();
    ASSERT_TRUE(host.RunUntil([&] { return host.Count(kPlayerEnded) > 0; }, 20s));
    host.RunFor(200ms);
    EXPECT_EQ(host.Count(kPlayerEnded), 1);
    EXPECT_FALSE(host.surface.shown.empty());
}

// After the end the media is still open: a seek to 0 and Resume play it again, as does a
// Resume alone.
TEST(Player, PlaysAgainAfterTheEnd) {
    UseDiskAudio();
    PlayerHost host;
    ASSERT_TRUE(host.Open(Clips().videoOnly));
    ASSERT_TRUE(host.RunUntil([&] { return host.Count(kPlayerEnded) == 1; }));
    // What the player window does on the end: rewind, pause; then the user presses play.
    host.Seek(0);
    host.player->Pause();
    EXPECT_TRUE(host.player->IsPaused());
    EXPECT_EQ(host.player->PlayState(), kPlayerPaused);
    host.RunFor(200ms);
    host.positions.clear();
    host.player->TogglePause();
    ASSERT_TRUE(host.RunUntil([&] { return host.Count(kPlayerEnded) == 2; }));
    ASSERT_FALSE(host.positions.empty());
    EXPECT_LT(host.positions.front(), 200'000) << "played again from the start";
    host.positions.clear();
    host.player->Resume();
    ASSERT_TRUE(host.RunUntil([&] { return host.Count(kPlayerEnded) == 3; }));
    ASSERT_FALSE(host.positions.empty());
    EXPECT_LT(host.positions.front(), 200'000);
}

}  // namespace
}  // namespace ostrel::engine::testing
