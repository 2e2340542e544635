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

}  // namespace
}  // namespace ostrel::engine::testing
