#include "engine/ffmpeg/log.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include "engine/ffmpeg/ffmpeg_engine.h"
#include "engine_fixture.h"

namespace ostrel::engine::ff {
namespace {

TEST(LibavLog, TheFirstErrorOfThisThreadIsKept) {
    RouteLibavLog();
    AVFormatContext* context = avformat_alloc_context();
    ASSERT_NE(context, nullptr);
    {
        const LogCapture capture;
        av_log(context, AV_LOG_WARNING, "only a warning\n");
        av_log(context, AV_LOG_ERROR, "Invalid frame size (%d)\n", 418);
        av_log(context, AV_LOG_ERROR, "a later error\n");
        EXPECT_EQ(capture.FirstError(), "AVFormatContext: Invalid frame size (418)");
        EXPECT_EQ(capture.Explain("Cannot read x: Invalid argument"),
                  "Cannot read x: Invalid argument (AVFormatContext: Invalid frame size (418))");
    }
    const LogCapture later;
    EXPECT_EQ(later.FirstError(), "");
    EXPECT_EQ(later.Explain("text"), "text");
    avformat_free_context(context);
}

// A probe that fails says what libav found wrong, not only the error code's text.
TEST(LibavLog, AFailedProbeNamesLibavsReason) {
    testing::TempFolder folder;
    const std::filesystem::path cut = folder.Path() / "header-only.mp4";
    // The header of a clip whose moov comes last: FFmpeg finds no moov.
    ASSERT_TRUE(testing::RunCommand("head -c 3000 '" + testing::TestMedia().video30.string() +
                                    "' > '" + cut.string() + "'"));
    const std::unique_ptr<Decoder> decoder = CreateFfmpegDecoder();
    EXPECT_FALSE(decoder->OpenFile(cut.string(), ""));
    EXPECT_NE(decoder->LastError().find("moov atom not found"), std::string::npos)
        << decoder->LastError();
}

}  // namespace
}  // namespace ostrel::engine::ff
