// Copying the streams that already fit: the decision for a table of stream facts and option
// strings, then real copies checked with ffprobe and GStreamer, A/V sync against the source.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "engine/ffmpeg/copy_fit.h"
#include "engine_fixture.h"

namespace ostrel::engine::testing {
namespace {

namespace fs = std::filesystem;
using ff::CopyTarget;
using ff::StreamFacts;

// The option string of "MP4 - H264 Video" for a 320x240 file, all settings left at "Auto".
const std::string kMp4H264 =
    "-ac 2 -vcodec libx264 -vpre libx264-veryfast -vb 512k -ab 128k -ar 44100 -s 320x240";
const std::string kAutoRules = " -copy_when_fits vb,ab,ar,r,ac";
// The iPod's device group (Baseline 3.0, no B-frames, one reference frame).
const std::string kIpodGroup =
    " -profile:v baseline -level 3.0 -maxrate 1500k -bufsize 2000k -bf 0 -refs 1"
    " -copy_when_fits vb,ab,ar,r,ac,maxfps=30,maxch=2,maxab=160k";

StreamFacts H264(int profile, int level = 30, int refs = 1, int reorder = 0) {
    StreamFacts facts;
    facts.type = AVMEDIA_TYPE_VIDEO;
    facts.codec = AV_CODEC_ID_H264;
    facts.profile = profile;
    facts.level = level;
    facts.width = 320;
    facts.height = 240;
    facts.pixelFormat = AV_PIX_FMT_YUV420P;
    facts.frameRate = 25.0;
    facts.displayAspect = 4.0 / 3.0;
    facts.reorderDepth = reorder;
    facts.referenceFrames = refs;
    facts.bitrate = 800'000;
    return facts;
}

StreamFacts Aac(int channels, int sampleRate = 48000, std::int64_t bitrate = 128'000) {
    StreamFacts facts;
    facts.type = AVMEDIA_TYPE_AUDIO;
    facts.codec = AV_CODEC_ID_AAC;
    facts.sampleRate = sampleRate;
    facts.channels = channels;
    facts.bitrate = bitrate;
    return facts;
}

TEST(CopyDecision, FollowsCodecContainerSettingsAndDeviceLimits) {
    StreamFacts hevc = H264(FF_PROFILE_HEVC_MAIN, 93);
    hevc.codec = AV_CODEC_ID_HEVC;
    StreamFacts fast = H264(FF_PROFILE_H264_HIGH);
    fast.frameRate = 60.0;
    StreamFacts tenBit = H264(FF_PROFILE_H264_HIGH_10);
    tenBit.pixelFormat = AV_PIX_FMT_YUV420P10LE;
    const struct {
        const char* name;
        StreamFacts facts;
        std::string options;
        const char* ext;
        bool copy;
    } kCases[] = {
        {"h264 into mp4, all Auto", H264(FF_PROFILE_H264_HIGH, 40, 4, 2), kMp4H264 + kAutoRules,
         "mp4", true},
        {"copying off", H264(FF_PROFILE_H264_HIGH), kMp4H264, "mp4", false},
        {"another size", H264(FF_PROFILE_H264_HIGH), kMp4H264 + " -s 640x480" + kAutoRules, "mp4",
         false},
        {"a crop", H264(FF_PROFILE_H264_HIGH), kMp4H264 + " -vf crop=300:200:10:20" + kAutoRules,
         "mp4", false},
        {"a turn by the user", H264(FF_PROFILE_H264_HIGH), kMp4H264 + " -vf rotate=90" + kAutoRules,
         "mp4", false},
        {"chosen rate below the source's", H264(FF_PROFILE_H264_HIGH),
         kMp4H264 + " -copy_when_fits ab,ar,r,ac", "mp4", false},
        {"chosen rate above the source's", H264(FF_PROFILE_H264_HIGH),
         kMp4H264 + " -vb 1000k -copy_when_fits ab,ar,r,ac", "mp4", true},
        {"chosen frame rate differs", H264(FF_PROFILE_H264_HIGH),
         kMp4H264 + " -r 30 -copy_when_fits vb,ab,ar,ac", "mp4", false},
        {"chosen frame rate equal", H264(FF_PROFILE_H264_HIGH),
         kMp4H264 + " -r 25 -copy_when_fits vb,ab,ar,ac", "mp4", true},
        {"another aspect", H264(FF_PROFILE_H264_HIGH), kMp4H264 + " -aspect 16:9" + kAutoRules,
         "mp4", false},
        {"10-bit into libx264's 8-bit", tenBit, kMp4H264 + kAutoRules, "mp4", false},
        {"h264 into the MPEG-4 Part 2 profile", H264(FF_PROFILE_H264_HIGH),
         "-r 29.97 -ac 2 -vb 512k -ab 128k -ar 44100 -s 320x240" + kAutoRules, "mp4", false},
        {"h264 into mkv", H264(FF_PROFILE_H264_MAIN),
         "-vcodec libx264 -s 320x240  -acodec libmp3lame" + kAutoRules, "mkv", true},
        {"a file size to meet", H264(FF_PROFILE_H264_HIGH),
         kMp4H264 + kAutoRules + " -target_size 1000000", "mp4", false},
        {"High into the iPod's Baseline", H264(FF_PROFILE_H264_HIGH), kMp4H264 + kIpodGroup, "mp4",
         false},
        {"Baseline 3.0 into the iPod", H264(FF_PROFILE_H264_CONSTRAINED_BASELINE),
         kMp4H264 + kIpodGroup, "mp4", true},
        {"level above the iPod's", H264(FF_PROFILE_H264_BASELINE, 31), kMp4H264 + kIpodGroup, "mp4",
         false},
        {"more references than the iPod's", H264(FF_PROFILE_H264_BASELINE, 30, 3),
         kMp4H264 + kIpodGroup, "mp4", false},
        {"references unknown", H264(FF_PROFILE_H264_BASELINE, 30, -1), kMp4H264 + kIpodGroup, "mp4",
         false},
        {"60 fps into a 30 fps device", fast, kMp4H264 + " -copy_when_fits vb,ab,ar,r,ac,maxfps=30",
         "mp4", false},
        {"B-frames into -bf 0", H264(FF_PROFILE_H264_MAIN, 30, 1, 1),
         kMp4H264 + " -profile:v main -bf 0" + kAutoRules, "mp4", false},
        {"HEVC into mp4 with libx265", hevc, "-vcodec libx265 -s 320x240" + kAutoRules, "mp4",
         true},
        {"stereo AAC, Auto channels", Aac(2), kMp4H264 + kAutoRules, "mp4", true},
        {"mono AAC under Auto's two", Aac(1), kMp4H264 + kAutoRules, "mp4", true},
        {"5.1 AAC into a stereo profile", Aac(6), kMp4H264 + kAutoRules, "mp4", false},
        {"stereo into chosen mono", Aac(2), kMp4H264 + " -ac 1 -copy_when_fits vb,ab,ar,r", "mp4",
         false},
        {"chosen sample rate differs", Aac(2), kMp4H264 + " -copy_when_fits vb,ab,r,ac", "mp4",
         false},
        {"chosen sample rate equal", Aac(2, 44100), kMp4H264 + " -copy_when_fits vb,ab,r,ac", "mp4",
         true},
        {"audio above the device's rate", Aac(2, 48000, 256'000), kMp4H264 + kIpodGroup, "mp4",
         false},
        {"AAC into the mkv profile's MP3", Aac(2),
         "-vcodec libx264 -acodec libmp3lame" + kAutoRules, "mkv", false},
    };
    for (const auto& c : kCases) {
        ff::JobSpec job;
        std::string error;
        ASSERT_TRUE(ff::ParseOptions(c.options, {}, job, error)) << c.name << ": " << error;
        const auto container = ff::ContainerForOutput(c.ext, job.muxer);
        ASSERT_TRUE(container.has_value()) << c.name;
        const CopyTarget target = ff::CopyTargetFor(job, *container, c.facts);
        const ff::CopyDecision decision = ff::DecideCopy(c.facts, job, target);
        EXPECT_EQ(decision.copy, c.copy) << c.name << " (" << decision.reason << ")";
    }
}

// One line of ffprobe's answer for the first stream of a kind: "key=value" pairs.
std::string ProbeStream(const fs::path& file, const char* select, const char* entries) {
    const std::string command = std::string("ffprobe -v error -select_streams ") + select +
                                " -show_entries " + entries + " -of default=nw=1 " + Quote(file) +
                                " 2>&1";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof(buffer), pipe) != nullptr) {
            output += buffer;
        }
        pclose(pipe);
    }
    return output;
}

double StartSeconds(const fs::path& file, const char* select) {
    const std::string line = ProbeStream(file, select, "stream=start_time");
    const std::size_t equals = line.find('=');
    return equals == std::string::npos ? NAN : std::atof(line.c_str() + equals + 1);
}

bool GStreamerDecodes(const fs::path& file) {
    return RunCommand("gst-launch-1.0 -q filesrc location=" + Quote(file) +
                      " ! decodebin ! fakesink sync=false >/dev/null 2>&1");
}

TEST(CopyConversion, CopiedOutputsPlayInSyncWithTheirTags) {
    const TempFolder clips;
    const fs::path& in = clips.Path();
    const std::string ffmpeg =
        "ffmpeg -v error -y -f lavfi -i testsrc2=size=320x240:rate=25:d=2 "
        "-f lavfi -i sine=frequency=440:sample_rate=48000:d=2 ";
    const std::string x264 = " -c:v libx264 -preset ultrafast -pix_fmt yuv420p ";
    // veryfast keeps B-frames and CABAC: High, which no Baseline device takes.
    MustRun(ffmpeg + " -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac " +
            Quote(in / "camera.mkv"));
    MustRun(ffmpeg + x264 + "-c:a aac -ac 6 " + Quote(in / "surround.mkv"));
    MustRun(ffmpeg + x264 + "-c:a aac -f mpegts " + Quote(in / "broadcast.ts"));
    MustRun(ffmpeg + "-c:v libx265 -preset ultrafast -x265-params log-level=none -c:a aac " +
            Quote(in / "hevc.mkv"));
    // A phone's portrait video: stored on its side, turned by the display matrix.
    MustRun(ffmpeg + x264 + "-c:a aac " + Quote(in / "landscape.mp4"));
    MustRun("ffmpeg -v error -y -i " + Quote(in / "landscape.mp4") +
            " -c copy -metadata:s:v rotate=90 " + Quote(in / "phone.mp4"));
    const std::string ipod =
        "-ac 2 -vcodec libx264 -vpre libx264-veryfast -vb 1000k -ab 128k "
        "-ar 44100 -s 320x240" +
        kIpodGroup;
    const struct {
        const char* input;
        std::string options;
        const char* output;
        int copied;
        const char* videoTag;  // the output's video tag; nullptr: not checked
    } kCases[] = {
        {"camera.mkv", kMp4H264 + kAutoRules, "camera.mp4", kCopiedVideoStream | kCopiedAudioStream,
         "avc1"},
        {"camera.mkv", kMp4H264 + " -s 160x120" + kAutoRules, "smaller.mp4", kCopiedAudioStream,
         nullptr},
        // The sound's own rate is not told by Matroska: below the device's limit is not sure.
        {"camera.mkv", ipod, "ipod.mp4", 0, nullptr},
        {"surround.mkv", kMp4H264 + kAutoRules, "surround.mp4", kCopiedVideoStream, nullptr},
        {"hevc.mkv", "-ac 2 -vcodec libx265 -s 320x240" + kAutoRules, "hevc.mp4",
         kCopiedVideoStream | kCopiedAudioStream, "hvc1"},
        {"broadcast.ts", kMp4H264 + kAutoRules, "broadcast.mp4",
         kCopiedVideoStream | kCopiedAudioStream, "avc1"},
        {"phone.mp4", "-ac 2 -vcodec libx264 -vb 512k -ab 128k -s 240x320" + kAutoRules,
         "phone-out.mp4", kCopiedVideoStream | kCopiedAudioStream, "avc1"},
    };
    const TempFolder out;
    QueueRun run;
    for (const auto& c : kCases) {
        ASSERT_GE(run.Add(in / c.input, out.Path() / c.output, c.options), 0) << c.output;
    }
    ASSERT_TRUE(run.RunToEnd(2));
    for (std::size_t task = 0; task < std::size(kCases); ++task) {
        const auto& c = kCases[task];
        const fs::path source = in / c.input;
        const fs::path output = out.Path() / c.output;
        const FinishedEvent* finished = run.Finished(static_cast<int>(task));
        ASSERT_TRUE(finished != nullptr && finished->success)
            << c.output << ": " << (finished ? finished->text : "");
        EXPECT_EQ(run.log.copied.contains(static_cast<int>(task))
                      ? run.log.copied.at(static_cast<int>(task))
                      : 0,
                  c.copied)
            << c.output;
        if (c.videoTag != nullptr) {
            EXPECT_NE(ProbeStream(output, "v:0", "stream=codec_tag_string")
                          .find(std::string("codec_tag_string=") + c.videoTag),
                      std::string::npos)
                << c.output;
        }
        EXPECT_TRUE(GStreamerDecodes(output)) << c.output;
        // A/V sync: the sound starts where it started against the picture, within a frame.
        const double sourceOffset = StartSeconds(source, "a:0") - StartSeconds(source, "v:0");
        const double outputOffset = StartSeconds(output, "a:0") - StartSeconds(output, "v:0");
        EXPECT_NEAR(outputOffset, sourceOffset, 1.0 / 25) << c.output;
    }
    // The phone's turn stays in the display matrix of the copied picture.
    // A copy of a cut file is no complete output: it fails and leaves nothing behind.
    const fs::path cut = in / "cut.mkv";
    MustRun(
        "ffmpeg -v error -y -f lavfi -i testsrc2=size=160x120:rate=25:d=6 -c:v libx264 "
        "-preset ultrafast " +
        Quote(cut));
    fs::resize_file(cut, fs::file_size(cut) / 3);
    const TempFolder cutOut;
    QueueRun cutRun;
    ASSERT_GE(cutRun.Add(cut, cutOut.Path() / "cut.mp4", kMp4H264 + kAutoRules), 0);
    ASSERT_TRUE(cutRun.RunToEnd(2));
    ASSERT_NE(cutRun.Finished(0), nullptr);
    EXPECT_TRUE(cutRun.Finished(0)->failure);
    EXPECT_TRUE(cutOut.FileNames().empty());

    const std::string turn = ProbeStream(in / "phone.mp4", "v:0", "stream_side_data=rotation");
    EXPECT_NE(turn.find("rotation=90"), std::string::npos);
    EXPECT_EQ(ProbeStream(out.Path() / "phone-out.mp4", "v:0", "stream_side_data=rotation"), turn);
}

}  // namespace
}  // namespace ostrel::engine::testing
