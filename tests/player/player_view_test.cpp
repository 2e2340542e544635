// What the preview shows besides the pictures of a video: the cover or a live view of sound
// without pictures, subtitles over the pictures, and single steps from picture to picture.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>

#include "engine_fixture.h"
#include "player_support.h"

namespace ostrel::engine::testing {
namespace {

using namespace std::chrono_literals;

// Mean absolute difference per byte of two BGRA pictures of the same size (rows unpadded in b).
double MeanDifference(const VideoFrame& a, const std::vector<std::uint8_t>& b) {
    double sum = 0.0;
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width * 4; ++x) {
            sum += std::abs(int{a.pixels[static_cast<std::size_t>(y) * a.stride + x]} -
                            int{b[static_cast<std::size_t>(y) * a.width * 4 + x]});
        }
    }
    return sum / (a.width * a.height * 4.0);
}

double MeanBrightness(const VideoFrame& frame) {
    double sum = 0.0;
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            const auto* p = &frame.pixels[static_cast<std::size_t>(y) * frame.stride + x * 4];
            sum += (p[0] + p[1] + p[2]) / 3.0;
        }
    }
    return sum / (frame.width * frame.height);
}

// A sound file with a cover shows the cover, as the ffmpeg tool decodes it, whether it is
// attached to the file or lies beside it.
TEST(PlayerView, SoundWithCoverShowsTheCover) {
    UseDiskAudio();
    const std::vector<std::uint8_t> expected = FfmpegImage(Clips().coverImage);
    ASSERT_EQ(expected.size(), 160u * 120u * 4u);
    for (const auto& song : {Clips().coverMp3, Clips().besideMp3}) {
        PlayerHost host;
        host.player->SetDisplayWidth(160);
        host.player->SetDisplayHeight(120);
        ASSERT_TRUE(host.Open(song)) << host.player->LastError();
        ASSERT_TRUE(host.RunUntil([&] {
            return !host.surface.shown.empty() && host.surface.shown.back().frame &&
                   MeanBrightness(*host.surface.shown.back().frame) > 20.0;
        })) << song;
        const VideoFrame& frame = *host.surface.shown.back().frame;
        ASSERT_EQ(frame.width, 160);
        ASSERT_EQ(frame.height, 120);
        EXPECT_LT(MeanDifference(frame, expected), 3.0) << song;
    }
}

// Without a cover the sound is drawn as it plays: the pictures change while there is sound and
// are dark in the silent stretch.
TEST(PlayerView, SoundWithoutCoverShowsTheSoundPlaying) {
    UseDiskAudio();
    PlayerHost host;
    host.player->SetDisplayWidth(200);
    host.player->SetDisplayHeight(100);
    ASSERT_TRUE(host.Open(Clips().soundSilence)) << host.player->LastError();
    ASSERT_TRUE(host.RunUntil([&] { return host.Count(kPlayerEnded) > 0; }));
    std::set<std::uint64_t> soundPictures;
    int silentPictures = 0;
    for (const auto& shown : host.surface.shown) {
        if (!shown.frame || shown.frame->width != 200) {
            continue;
        }
        const double atS = shown.frame->ptsUs / 1e6;
        if (atS > 0.1 && atS < 0.7) {
            EXPECT_GT(MeanBrightness(*shown.frame), 5.0) << atS;
            soundPictures.insert(Checksum(*shown.frame));
        } else if (atS > 1.0 && atS < 1.7) {
            EXPECT_LT(MeanBrightness(*shown.frame), 1.0) << atS;
            ++silentPictures;
        }
    }
    EXPECT_GE(soundPictures.size(), 5u) << "a live view, not one picture";
    EXPECT_GE(silentPictures, 5);
}

// Paused, a step forward or back shows the neighbouring picture, bit for bit as the ffmpeg tool
// decodes it, and stays paused.
TEST(PlayerView, FrameStepsMoveOnePicture) {
    UseDiskAudio();
    PlayerHost host;
    ASSERT_TRUE(host.Open(Clips().h264Aac)) << host.player->LastError();
    ASSERT_TRUE(host.RunUntil([&] { return !host.surface.shown.empty(); }));
    host.player->Pause();
    host.Seek(1'000'000);
    ASSERT_TRUE(host.RunUntil([&] {
        return !host.surface.shown.empty() && host.surface.shown.back().frame->ptsUs == 1'000'000;
    }));
    const struct {
        int frames;
        double expectedS;
    } steps[] = {{1, 1.04}, {1, 1.08}, {-1, 1.04}, {-1, 1.0}, {-1, 0.96}, {3, 1.08}};
    for (const auto& step : steps) {
        host.player->StepFrames(step.frames);
        ASSERT_TRUE(host.RunUntil(
            [&] {
                return std::llabs(host.surface.shown.back().frame->ptsUs -
                                  std::llround(step.expectedS * 1e6)) < 1000;
            },
            10s))
            << step.expectedS;
        const std::vector<std::uint8_t> expected = FfmpegFrameAt(Clips().h264Aac, step.expectedS);
        EXPECT_EQ(Checksum(*host.surface.shown.back().frame), Checksum(expected)) << step.expectedS;
        EXPECT_EQ(host.player->PlayState(), kPlayerPaused);
    }
}

// The first text subtitle track is drawn over the pictures of its cue's time span and not
// outside it, as the ffmpeg tool burns it in; without a track the pictures are plain.
TEST(PlayerView, SubtitleCueShowsOnItsSpan) {
    UseDiskAudio();
    PlayerHost host;
    ASSERT_TRUE(host.Open(Clips().subtitled)) << host.player->LastError();
    ASSERT_EQ(host.player->SubtitleTracks().size(), 1u);
    EXPECT_EQ(host.player->SubtitleTrack(), 0);
    ASSERT_TRUE(host.RunUntil([&] { return !host.surface.shown.empty(); }));
    host.player->Pause();
    const std::string burnt = "subtitles=" + Clips().subtitled.string();
    const struct {
        double atS;
        int track;
        bool cue;
    } cases[] = {{0.52, 0, false}, {1.2, 0, true},   {1.96, 0, true},
                 {2.4, 0, false},  {1.5, -1, false}, {1.6, 0, true}};
    for (const auto& c : cases) {
        host.player->SetSubtitleTrack(c.track);
        host.Seek(std::llround(c.atS * 1e6));
        const std::int64_t pictureUs = std::llround(std::floor(c.atS * 25 + 1e-6) / 25 * 1e6);
        ASSERT_TRUE(
            host.RunUntil([&] { return host.surface.shown.back().frame->ptsUs == pictureUs; }, 10s))
            << c.atS;
        host.RunFor(50ms);
        const VideoFrame& frame = *host.surface.shown.back().frame;
        const double pictureS = pictureUs / 1e6;
        const std::vector<std::uint8_t> withCue = FfmpegFrameAt(Clips().subtitled, pictureS, burnt);
        const std::vector<std::uint8_t> plain = FfmpegFrameAt(Clips().subtitled, pictureS);
        ASSERT_EQ(withCue.size(), frame.pixels.size());
        const double fromBurnt = MeanDifference(frame, withCue);
        const double fromPlain = MeanDifference(frame, plain);
        if (c.cue) {
            EXPECT_LT(fromBurnt, 0.5) << c.atS;
            EXPECT_GT(fromPlain, 0.5) << c.atS << ": the cue is drawn";
        } else {
            EXPECT_LT(fromPlain, 0.5) << c.atS;
        }
    }
}

}  // namespace
}  // namespace ostrel::engine::testing
