#include <gtest/gtest.h>

#include "engine/ffmpeg/ffmpeg_engine.h"
#include "engine_fixture.h"

namespace ostrel::engine::testing {
namespace {

std::int64_t DurationUs(const Decoder& decoder) {
    return (static_cast<std::int64_t>(decoder.DurationHigh()) << 32) |
           static_cast<std::uint32_t>(decoder.DurationLow());
}

TEST(Probe, StreamsCodecsSizesAndDurations) {
    const Media& media = TestMedia();
    struct Case {
        std::filesystem::path file;
        int videoStreams;
        int audioStreams;
        std::string videoCodec;
        std::string audioCodec;
        int width;
        int height;
        double seconds;
    };
    const std::vector<Case> cases = {
        {media.videoWithAudio, 1, 1, "h264", "aac", 320, 240, 2.0},
        {media.videoOnly, 1, 0, "h264", "", 160, 120, 1.0},
        {media.audioOnly, 0, 1, "", "pcm_s16le", 0, 0, 2.0},
        {media.oddSize, 1, 1, "ffv1", "pcm_s16le", 321, 241, 1.0},
        // A display matrix of 90 degrees: shown upright, so width and height swap.
        {media.portrait, 1, 0, "h264", "", 240, 320, 1.0},
        // Cover art is not a video stream.
        {media.coverArtMp3, 0, 1, "", "mp3", 0, 0, 2.0},
    };
    auto decoder = ff::CreateFfmpegDecoder();
    for (const Case& c : cases) {
        ASSERT_TRUE(decoder->OpenFile(c.file.string(), "")) << c.file << decoder->LastError();
        EXPECT_EQ(decoder->VideoStreamCount(), c.videoStreams) << c.file;
        EXPECT_EQ(decoder->AudioStreamCount(), c.audioStreams) << c.file;
        const int video = decoder->VideoStreamIndex();
        const int audio = decoder->AudioStreamIndex();
        EXPECT_EQ(video >= 0, c.videoStreams > 0) << c.file;
        EXPECT_EQ(audio >= 0, c.audioStreams > 0) << c.file;
        EXPECT_EQ(decoder->VideoCodecName(video), c.videoCodec) << c.file;
        EXPECT_EQ(decoder->AudioCodecName(audio), c.audioCodec) << c.file;
        EXPECT_EQ(decoder->VideoWidth(video), c.width) << c.file;
        EXPECT_EQ(decoder->VideoHeight(video), c.height) << c.file;
        EXPECT_NEAR(static_cast<double>(DurationUs(*decoder)) / 1e6, c.seconds, 0.1) << c.file;
        decoder->CloseFile();
        EXPECT_EQ(decoder->VideoStreamCount(), 0);
    }
}

TEST(Probe, UnreadableFilesFailWithText) {
    const Media& media = TestMedia();
    auto decoder = ff::CreateFfmpegDecoder();
    for (const auto& file : {media.corrupt, media.folder / "does-not-exist.mp4"}) {
        EXPECT_FALSE(decoder->OpenFile(file.string(), "")) << file;
        EXPECT_NE(decoder->LastError().find(file.string()), std::string::npos)
            << decoder->LastError();
        EXPECT_EQ(decoder->VideoStreamIndex(), -1);
        EXPECT_EQ(DurationUs(*decoder), 0);
    }
    // An open after a failure works again.
    EXPECT_TRUE(decoder->OpenFile(media.audioOnly.string(), ""));
}

}  // namespace
}  // namespace ostrel::engine::testing
