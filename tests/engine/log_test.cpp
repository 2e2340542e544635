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

// A stage of the conversion's pipeline that fails says what libav found wrong, and ends only
// its own task. The AAC encoder refuses samples that are not numbers while encoding: sound
// alone is encoded on a thread of its own, sound beside video on the sound thread.
TEST(LibavLog, AFailingStageNamesLibavsReason) {
    testing::TempFolder folder;
    const std::string notANumber = "-f lavfi -i \"aevalsrc=0/0|0/0:s=44100:d=1\" ";
    const struct {
        const char* input;
        const char* sources;
        const char* output;
    } cases[] = {
        {"nan.wav", "", "sound.m4a"},
        {"nan.mkv", "-f lavfi -i testsrc2=size=160x120:rate=25:duration=1 ", "beside-video.mp4"},
    };
    for (const auto& c : cases) {
        const std::filesystem::path input = folder.Path() / c.input;
        testing::MustRun("ffmpeg -v error -y " + std::string(c.sources) + notANumber +
                         "-c:v mpeg4 -c:a pcm_f32le " + testing::Quote(input));
        testing::QueueRun run;
        ASSERT_EQ(run.Add(input, folder.Path() / c.output, ""), 0) << c.output;
        ASSERT_EQ(run.Add(testing::TestMedia().audioOnly,
                          folder.Path() / ("after-" + std::string(c.output)), ""),
                  1);
        ASSERT_TRUE(run.RunToEnd(1)) << c.output;
        const testing::FinishedEvent* finished = run.Finished(0);
        ASSERT_NE(finished, nullptr) << c.output;
        EXPECT_EQ(finished->outcome, TaskOutcome::Failed) << c.output;
        EXPECT_NE(finished->text.find("(aac: Input contains (near) NaN/+-Inf)"), std::string::npos)
            << c.output << ": " << finished->text;
        ASSERT_NE(run.Finished(1), nullptr) << c.output;
        EXPECT_TRUE(run.Finished(1)->success) << c.output << ": " << run.Finished(1)->text;
    }
}

}  // namespace
}  // namespace ostrel::engine::ff
