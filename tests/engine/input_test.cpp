// The input and stream decoder units as a player drives them: open with an interrupt and a
// deadline, choose the main streams, decode packets into a sink.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include "engine/ffmpeg/display_matrix.h"
#include "engine/ffmpeg/input.h"
#include "engine/ffmpeg/stream_decoder.h"
#include "engine_fixture.h"

namespace ostrel::engine::testing {
namespace {

using ff::Input;

TEST(Input, ChoosesTheMainStreamsAndKnowsTheirFacts) {
    struct Case {
        std::filesystem::path Media::*file;
        int videoIndex;
        int audioIndex;
        std::size_t videoCount;
        double rotation;
        double frameRate;
    };
    const std::vector<Case> cases = {
        {&Media::videoWithAudio, 0, 1, 1, 0.0, 25.0},
        {&Media::video30, 0, 1, 1, 0.0, 30.0},
        {&Media::audioOnly, -1, 0, 0, 0.0, 0.0},
        // The attached picture is no video stream.
        {&Media::coverArtMp3, -1, 0, 0, 0.0, 0.0},
        // Its display matrix turns it 90 degrees counter-clockwise: 270 clockwise.
        {&Media::portrait, 0, -1, 1, 270.0, 25.0},
    };
    for (const Case& c : cases) {
        const auto path = (TestMedia().*(c.file)).string();
        Input input;
        ASSERT_TRUE(input.Open(path, "")) << input.ErrorText(path);
        EXPECT_EQ(input.VideoIndex(), c.videoIndex) << path;
        EXPECT_EQ(input.AudioIndex(), c.audioIndex) << path;
        EXPECT_EQ(input.VideoStreams().size(), c.videoCount) << path;
        EXPECT_NEAR(input.FrameRate(), c.frameRate, 0.01) << path;
        if (c.videoIndex >= 0) {
            EXPECT_DOUBLE_EQ(ff::DisplayRotationDegrees(input.Stream(c.videoIndex)), c.rotation)
                << path;
            EXPECT_TRUE(input.IsDecodable(c.videoIndex)) << path;
        }
        EXPECT_GT(input.DurationUs(), 0) << path;
    }
}

// Another object's flag ends every blocking call at once; so does a read that has waited longer
// than the deadline. Either way the open fails with a text, not a hang.
TEST(Input, InterruptAndDeadlineEndTheOpen) {
    struct Case {
        bool interrupted;
        std::chrono::milliseconds timeout;
        bool timedOut;
        std::string mentioned;
    };
    const std::vector<Case> cases = {
        {true, std::chrono::seconds(10), false, "Cannot open"},
        {false, std::chrono::milliseconds(0), true, "no answer within 0 s"},
    };
    const std::string path = TestMedia().videoWithAudio.string();
    for (const Case& c : cases) {
        std::stop_source stop;
        if (c.interrupted) {
            stop.request_stop();
        }
        ff::InputLimits limits;
        limits.readTimeout = c.timeout;
        Input input(stop.get_token(), limits);
        EXPECT_FALSE(input.Open(path, ""));
        EXPECT_EQ(input.Interrupted(), c.interrupted);
        EXPECT_EQ(input.TimedOut(), c.timedOut);
        EXPECT_NE(input.ErrorText("the file").find(c.mentioned), std::string::npos)
            << input.ErrorText("the file");
        EXPECT_EQ(input.Context(), nullptr);
    }
    Input input;
    EXPECT_FALSE(input.Open(path, "nosuchdemuxer"));
    EXPECT_EQ(input.ErrorText(path), "Unknown input format: nosuchdemuxer");
}

// Decodes a whole stream on a thread of its own, as a player's decoder thread would: every
// frame arrives, timestamps start at 0 and grow, and after a seek and a flush it decodes again.
TEST(StreamDecoder, DecodesAStreamIntoASink) {
    struct Case {
        std::filesystem::path Media::*file;
        AVMediaType type;
        std::int64_t minimumFrames;
    };
    const std::vector<Case> cases = {
        {&Media::videoOnly, AVMEDIA_TYPE_VIDEO, 25},  // 1 s at 25 fps
        {&Media::audioOnly, AVMEDIA_TYPE_AUDIO, 2},   // 2 s of PCM
    };
    for (const Case& c : cases) {
        std::string error;
        std::int64_t frames = 0;
        std::int64_t lastPts = -1;
        bool ordered = true;
        std::thread worker([&] {
            Input input;
            ASSERT_TRUE(input.Open((TestMedia().*(c.file)).string(), ""));
            const int index =
                c.type == AVMEDIA_TYPE_VIDEO ? input.VideoIndex() : input.AudioIndex();
            ff::StreamDecoder decoder;
            ASSERT_TRUE(decoder.Open(input.Context(), input.Stream(index), 2, error)) << error;
            const ff::StreamDecoder::FrameSink sink = [&](AVFrame* frame) {
                ordered = ordered && frame->pts > lastPts;
                lastPts = frame->pts;
                ++frames;
                return true;
            };
            ff::PacketPtr packet(av_packet_alloc());
            for (int pass = 0; pass < 2; ++pass) {
                while (input.Read(packet.get()) >= 0) {
                    if (packet->stream_index == index) {
                        EXPECT_TRUE(decoder.Decode(packet.get(), sink));
                    }
                    av_packet_unref(packet.get());
                }
                EXPECT_TRUE(decoder.Decode(nullptr, sink));
                if (pass == 0) {
                    EXPECT_GE(frames, c.minimumFrames);
                    ASSERT_GE(av_seek_frame(input.Context(), -1, 0, AVSEEK_FLAG_BACKWARD), 0);
                    decoder.Flush();
                    frames = 0;
                    lastPts = -1;
                }
            }
            EXPECT_GE(frames, c.minimumFrames);
            EXPECT_EQ(decoder.FramesDecoded(), 2 * frames);
        });
        worker.join();
        EXPECT_TRUE(ordered);
    }
}

// A file probed and then converted is opened and probed once; a file changed between the probe
// and the conversion is opened anew, so the output is made of what the file holds now.
TEST(Input, AConversionTakesTheInputItsProbeOpened) {
    TempFolder folder;
    const std::filesystem::path file = folder.Path() / "probed.mp4";
    std::filesystem::copy_file(TestMedia().video30, file);  // 1 s
    struct Case {
        const char* name;
        std::filesystem::path replacement;  // copied over the file after the probe; empty: none
        bool reused;
        double seconds;
    };
    const std::vector<Case> cases = {
        {"unchanged", {}, true, 1.0}, {"replaced", TestMedia().videoWithAudio, false, 2.0},  // 2 s
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto decoder = ff::CreateFfmpegDecoder();
        ASSERT_TRUE(decoder->OpenFile(file.string(), "")) << decoder->LastError();
        decoder->CloseFile();
        if (!c.replacement.empty()) {
            std::filesystem::copy_file(c.replacement, file,
                                       std::filesystem::copy_options::overwrite_existing);
        }
        const int before = Input::ReusedCount();
        QueueRun run;
        const std::filesystem::path output = folder.Path() / (std::string(c.name) + ".mkv");
        const int task = run.Add(file, output, "-ac 2 -vcodec libx264 -vpre libx264-ultrafast");
        ASSERT_GE(task, 0) << run.encoder->LastError();
        ASSERT_TRUE(run.RunToEnd(2));
        ASSERT_TRUE(run.Finished(task) != nullptr && run.Finished(task)->success);
        EXPECT_EQ(Input::ReusedCount() - before, c.reused ? 1 : 0);
        EXPECT_NEAR(Probe(output).durationSeconds, c.seconds, 0.1);
    }
}

// Whether this process holds the file open, told by its open descriptors.
bool HoldsOpen(const std::filesystem::path& file) {
    std::error_code code;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", code)) {
        if (std::filesystem::equivalent(std::filesystem::read_symlink(entry.path(), code), file,
                                        code)) {
            return true;
        }
    }
    return false;
}

// A probed file that is never converted does not stay open: a disk it is on can be ejected
// once its kept input's time is up, without any further call into the engine.
TEST(Input, AKeptInputIsClosedWhenItsTimeIsUp) {
    TempFolder folder;
    const std::filesystem::path file = folder.Path() / "left alone.mp4";
    std::filesystem::copy_file(TestMedia().video30, file);
    Input::SetKeptFor(std::chrono::milliseconds(300));
    auto decoder = ff::CreateFfmpegDecoder();
    ASSERT_TRUE(decoder->OpenFile(file.string(), "")) << decoder->LastError();
    decoder->CloseFile();
    EXPECT_TRUE(HoldsOpen(file));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (HoldsOpen(file) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Input::SetKeptFor(std::chrono::seconds(60));
    EXPECT_FALSE(HoldsOpen(file));
}

// The closing thread waits for the earliest kept input's time; an input dropped meanwhile to
// make room (more than sixteen kept) must not be read by that wait when it wakes. The sanitizer
// build sees the read of the dropped input.
TEST(Input, KeptInputsDroppedForRoomWhileTheCloserWaits) {
    TempFolder folder;
    const std::filesystem::path file = folder.Path() / "kept often.mp4";
    std::filesystem::copy_file(TestMedia().video30, file);
    Input::SetKeptFor(std::chrono::seconds(20));
    for (int i = 0; i < 20; ++i) {
        Input input;
        ASSERT_TRUE(input.Open(file.string(), ""));
        input.KeepForReuse();
        std::this_thread::sleep_for(std::chrono::milliseconds(15));  // the closer waits again
    }
    Input::SetKeptFor(std::chrono::seconds(60));
}

}  // namespace
}  // namespace ostrel::engine::testing
