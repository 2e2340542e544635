// Seeking lands on the picture the slider names and the sound starts there.
#include <gtest/gtest.h>

#include <cmath>

#include "engine_fixture.h"
#include "player_support.h"

namespace ostrel::engine::testing {
namespace {

using namespace std::chrono_literals;

// For ten positions, the first picture shown after a seek is the last one that starts at or
// before the position: the same picture, bit for bit, as the ffmpeg tool decodes at that
// picture's time. The clip has B-frames and a key frame every two seconds, so most targets lie
// far from a key frame.
TEST(PlayerSeek, ShowsTheLastPictureAtOrBeforeThePosition) {
    UseDiskAudio();
    PlayerHost host;
    ASSERT_TRUE(host.Open(Clips().h264Aac)) << host.player->LastError();
    ASSERT_TRUE(host.RunUntil([&] { return !host.surface.shown.empty(); }));
    host.player->Pause();
    host.RunFor(100ms);
    constexpr double kFps = 25.0;
    const double targets[] = {0.0, 0.013, 0.52, 1.0, 1.239, 1.96, 2.0, 2.041, 2.5, 2.97};
    for (double target : targets) {
        const std::size_t before = host.surface.shown.size();
        host.Seek(static_cast<std::int64_t>(std::llround(target * 1e6)));
        ASSERT_TRUE(host.RunUntil([&] { return host.surface.shown.size() > before; }, 10s))
            << target;
        host.RunFor(30ms);
        ASSERT_EQ(host.surface.shown.size(), before + 1) << target << ": paused, one picture";
        const auto& frame = host.surface.shown.back().frame;
        ASSERT_NE(frame, nullptr);
        const double pictureTime = std::floor(target * kFps + 1e-6) / kFps;
        EXPECT_NEAR(frame->ptsUs / 1e6, pictureTime, 0.001) << target;
        const std::vector<std::uint8_t> expected = FfmpegFrameAt(Clips().h264Aac, pictureTime);
        ASSERT_EQ(expected.size(), frame->pixels.size()) << target;
        EXPECT_EQ(Checksum(*frame), Checksum(expected)) << target;
        EXPECT_EQ(host.player->PlayState(), kPlayerPaused);
        ASSERT_FALSE(host.positions.empty());
        EXPECT_NEAR(host.positions.back() / 1e6, pictureTime, 0.001) << target;
    }
}

// While playing, a seek goes on playing from its target: the first new picture is the last one
// at or before it, and the sound (the audio clock) starts there too, not where it was.
TEST(PlayerSeek, PlayingMediaPlaysOnFromTheTarget) {
    UseDiskAudio();
    PlayerHost host;
    ASSERT_TRUE(host.Open(Clips().long905)) << host.player->LastError();
    ASSERT_TRUE(host.RunUntil([&] { return host.surface.shown.size() > 3; }));
    constexpr double kFps = 10.0;
    for (double target : {60.0, 12.345, 88.8}) {
        const std::int64_t targetUs = static_cast<std::int64_t>(std::llround(target * 1e6));
        const std::size_t before = host.surface.shown.size();
        host.Seek(targetUs);
        ASSERT_TRUE(host.RunUntil(
            [&] {
                for (std::size_t i = before; i < host.surface.shown.size(); ++i) {
                    const auto& frame = host.surface.shown[i].frame;
                    if (frame && std::llabs(frame->ptsUs - targetUs) < 1'000'000) {
                        return true;
                    }
                }
                return false;
            },
            10s))
            << target;
        // The first picture of the new position, whatever of the old one was still on its way.
        std::size_t first = before;
        while (std::llabs(host.surface.shown[first].frame->ptsUs - targetUs) >= 1'000'000) {
            ++first;
        }
        const double pictureTime = std::floor(target * kFps + 1e-6) / kFps;
        EXPECT_NEAR(host.surface.shown[first].frame->ptsUs / 1e6, pictureTime, 0.001) << target;
        host.RunFor(400ms);
        EXPECT_EQ(host.player->PlayState(), kPlayerPlaying);
        const double clock = host.player->Statistics().audioClockSeconds;
        EXPECT_GT(clock, target) << "the sound plays from the target on";
        EXPECT_LT(clock, target + 0.6);
        ASSERT_FALSE(host.positions.empty());
        EXPECT_GT(host.positions.back() / 1e6, target);
    }
}

}  // namespace
}  // namespace ostrel::engine::testing
