#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "engine/ffmpeg/ffmpeg_engine.h"
#include "engine_fixture.h"

namespace ostrel::engine::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string Field(const ProbeResult& probe, const std::string& type, const std::string& key) {
    const auto* stream = probe.Stream(type);
    if (stream == nullptr) {
        return "<none>";
    }
    const auto found = stream->find(key);
    return found == stream->end() ? "<none>" : found->second;
}

TEST(MediaFixture, Generates) {
    const Media& media = TestMedia();
    for (const auto& file :
         {media.videoWithAudio, media.video30, media.videoOnly, media.audioOnly, media.oddSize,
          media.portrait, media.coverArtMp3, media.changing, media.corrupt, media.truncated}) {
        EXPECT_TRUE(fs::exists(file)) << file;
    }
}

// One representative option string per format key, in the option builder's exact shape,
// for the 320x240 25 fps clip with stereo 44.1 kHz audio.
struct FormatCase {
    std::string key;
    std::string extension;
    std::string options;
    std::string formatName;  // one of ffprobe's format names
    std::string videoCodec;  // empty: no video stream expected
    int width;
    int height;
    std::string audioCodec;
    int sampleRate;
    int channels;
    std::string frameRate;  // empty: not checked
};

std::ostream& operator<<(std::ostream& out, const FormatCase& c) {
    return out << c.key;
}

class FormatKeys : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatKeys, ConvertsToTheExpectedStreams) {
    const FormatCase& c = GetParam();
    TempFolder folder;
    const fs::path output = folder.Path() / ("clip." + c.extension);
    const ProbeResult probe = ConvertOne(TestMedia().videoWithAudio, output, c.options);
    ASSERT_TRUE(probe.ok) << c.key;
    EXPECT_NE(("," + probe.formatName + ",").find("," + c.formatName + ","), std::string::npos)
        << probe.formatName;
    if (c.videoCodec.empty()) {
        EXPECT_EQ(probe.Count("video"), 0) << c.key;
    } else {
        EXPECT_EQ(probe.Count("video"), 1);
        EXPECT_EQ(Field(probe, "video", "codec_name"), c.videoCodec);
        EXPECT_EQ(Field(probe, "video", "width"), std::to_string(c.width));
        EXPECT_EQ(Field(probe, "video", "height"), std::to_string(c.height));
        if (!c.frameRate.empty()) {
            EXPECT_EQ(Field(probe, "video", "avg_frame_rate"), c.frameRate);
        }
    }
    EXPECT_EQ(probe.Count("audio"), 1);
    EXPECT_EQ(Field(probe, "audio", "codec_name"), c.audioCodec);
    EXPECT_EQ(Field(probe, "audio", "sample_rate"), std::to_string(c.sampleRate));
    EXPECT_EQ(Field(probe, "audio", "channels"), std::to_string(c.channels));
    if (c.key != "swf") {  // ffprobe gives no duration for swf
        EXPECT_NEAR(probe.durationSeconds, 2.0, 0.1) << c.key;
    }
    // Only the finished file is left: no temporary file.
    EXPECT_EQ(folder.FileNames(), std::vector<std::string>{"clip." + c.extension});
}

const std::vector<FormatCase> kFormatCases = {
    {"3gp", "3gp", "-ac 2 -vb 109k -ab 6700 -ac 1 -ar 8000 -s 176x144", "3gp", "h263", 176, 144,
     "amr_nb", 8000, 1, ""},
    {"avi", "avi",
     "-ac 2 -vcodec libxvid -vb 847k -acodec libmp3lame -ab 128k -ar 44100 -s 320x240", "avi",
     "mpeg4", 320, 240, "mp3", 44100, 2, ""},
    {"asf", "asf", "-ac 2 -vcodec msmpeg4v2 -vb 512k -acodec wmav2 -ab 128k -ar 44100 -s 320x240",
     "asf", "msmpeg4v2", 320, 240, "wmav2", 44100, 2, ""},
    {"wmv", "wmv", "-ac 2 -vcodec wmv2 -vb 512k -acodec wmav2 -ab 64k -ar 22050 -s 320x240", "asf",
     "wmv2", 320, 240, "wmav2", 22050, 2, ""},
    {"flv", "flv", "-ac 2 -vb 512k -ab 64k -ar 48000 -s 320x240", "flv", "flv1", 320, 240, "mp3",
     44100, 2, ""},
    {"swf", "swf", "-ac 2 -vb 512k -ab 64k -ar 22050 -s 320x240", "swf", "flv1", 320, 240, "mp3",
     22050, 2, ""},
    {"mkv", "mkv",
     "-ac 2 -vcodec libx264 -vpre libx264-veryfast -vb 512k  -acodec libmp3lame -ab 128k -ar "
     "44100 -s 320x240",
     "matroska", "h264", 320, 240, "mp3", 44100, 2, ""},
    {"mp4", "mp4", "-r 29.97 -ac 2 -vb 2048k -ab 128k -ar 44100 -s 640x480", "mp4", "mpeg4", 640,
     480, "aac", 44100, 2, "2997/100"},
    {"mp4h264", "mp4",
     "-ac 2 -vcodec libx264 -vpre libx264-veryfast -vb 1229k -ab 128k -ar 44100 -s 480x320", "mp4",
     "h264", 480, 320, "aac", 44100, 2, "25/1"},
    {"mov", "mov", "-r 29.97 -ac 1 -vb 512k -ab 256k -ar 22050 -s 320x240", "mov", "mpeg4", 320,
     240, "aac", 22050, 1, ""},
    {"f4v", "f4v",
     "-ac 2 -vcodec libx264 -vpre libx264-ultrafast -f flv -vb 512k -acodec libfaac -ab 128k -ar "
     "44100 -ac 2 -s 320x240",
     "flv", "h264", 320, 240, "aac", 44100, 2, ""},
    {"vob", "vob", "-ac 2 -target dvd -vb 3300k -ab 192k -ar 48000 -s 352x288", "mpeg",
     "mpeg2video", 352, 288, "ac3", 48000, 2, "25/1"},
    {"asf-mono", "asf",
     "-ac 1 -vcodec msmpeg4v2 -vb 512k -acodec wmav2 -ab 16k -ar 44100 -s 320x240", "asf",
     "msmpeg4v2", 320, 240, "wmav2", 44100, 1, ""},
    {"mpg", "mpg", "-ac 2 -vb 512k -ab 128k -ar 44100 -s 320x240", "mpeg", "mpeg1video", 320, 240,
     "mp2", 44100, 2, ""},
    {"mpg2", "mpg", "-ac 2 -vcodec mpeg2video -vb 512k -ab 100k -ar 22050 -s 320x240", "mpeg",
     "mpeg2video", 320, 240, "mp2", 22050, 2, ""},
    {"ntsc-vcd", "mpg", "-ac 2 -target ntsc-vcd -vb 1150k -ab 224k -ar 44100 -s 352x240", "mpeg",
     "mpeg1video", 352, 240, "mp2", 44100, 2, "30000/1001"},
    {"pal-vcd", "mpg", "-ac 2 -target pal-vcd -vb 1150k -ab 224k -ar 44100 -s 352x288", "mpeg",
     "mpeg1video", 352, 288, "mp2", 44100, 2, "25/1"},
    {"ntsc-dvd", "mpg", "-ac 2 -target ntsc-dvd -ab 128k -ar 44100 -s 720x480", "mpeg",
     "mpeg2video", 720, 480, "ac3", 44100, 2, "30000/1001"},
    {"pal-dvd", "mpg", "-ac 2 -target pal-dvd -ab 192k -ar 48000 -s 720x576", "mpeg", "mpeg2video",
     720, 576, "ac3", 48000, 2, "25/1"},
    {"rm", "rm", "-ac 2 -vcodec rv20 -vb 1000k -ab 128k -ar 44100 -s 320x240", "rm", "rv20", 320,
     240, "ac3", 44100, 2, ""},
    // The RealMedia muxer takes no packet over 64 kB, which HD pictures exceed unless the
    // encoder's rate control keeps them below.
    {"rm-hd", "rm", "-ac 2 -vcodec rv20 -vb 1000k -ab 128k -ar 44100 -s 1920x1080", "rm", "rv20",
     1920, 1080, "ac3", 44100, 2, ""},
    {"webm", "webm",
     "-ac 2 -vcodec libvpx -vb 512k  -acodec libvorbis -ab 32k -ar 44100 -s 320x240", "webm", "vp8",
     320, 240, "vorbis", 44100, 2, ""},
    {"aac", "aac", "-ac 2 -vn -ab 128k -ar 44100", "aac", "", 0, 0, "aac", 44100, 2, ""},
    {"ac3", "ac3", "-ac 2 -vn -ab 100k -ar 22050", "ac3", "", 0, 0, "ac3", 32000, 2, ""},
    {"aiff", "aiff", "-ac 2 -vn  -ar 48000", "aiff", "", 0, 0, "pcm_s16be", 48000, 2, ""},
    {"flac", "flac", "-ac 1 -vn  -ar 22050", "flac", "", 0, 0, "flac", 22050, 1, ""},
    {"m4a", "m4a", "-ac 2 -vn -ab 256k -ar 48000", "mov", "", 0, 0, "aac", 48000, 2, ""},
    {"mp2", "mp2", "-ac 2 -vn -ab 64k -ar 22050", "mp3", "", 0, 0, "mp2", 22050, 2, ""},
    {"mp3", "mp3", "-ac 2 -vn -ab 128k -ar 44100", "mp3", "", 0, 0, "mp3", 44100, 2, ""},
    {"ogg", "ogg", "-ac 2 -vn -acodec libvorbis -ab 64k -ar 22050", "ogg", "", 0, 0, "vorbis",
     22050, 2, ""},
    {"ra", "ra", "-ac 2 -vn  -ab 96k -ar 44100", "rm", "", 0, 0, "ac3", 44100, 2, ""},
    {"wav", "wav", "-ac 2 -vn  -ar 44100", "wav", "", 0, 0, "pcm_s16le", 44100, 2, ""},
    {"wma", "wma", "-ac 2 -vn  -acodec wmav2 -ab 320k -ar 48000", "asf", "", 0, 0, "wmav2", 48000,
     2, ""},
};

INSTANTIATE_TEST_SUITE_P(AllKeys, FormatKeys, ::testing::ValuesIn(kFormatCases),
                         [](const ::testing::TestParamInfo<FormatCase>& param) {
                             std::string name = param.param.key;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(PictureChain, SizesAfterRotationCropAndScale) {
    struct Case {
        std::string options;
        fs::path Media::*input;
        int width;
        int height;
        std::string displayAspect;  // empty: not checked
    };
    const std::string base = "-an -vcodec libx264 -vpre libx264-ultrafast -vb 300k";
    const std::vector<Case> cases = {
        {base + " -vf \"rotate=90\"", &Media::videoWithAudio, 240, 320, ""},
        {base + " -vf \"rotate=180\"", &Media::videoWithAudio, 320, 240, ""},
        {base + " -vf \"rotate=270\"", &Media::videoWithAudio, 240, 320, ""},
        {base + " -vf \"rotate=-90\"", &Media::videoWithAudio, 240, 320, ""},
        {base + " -vf \"rotate=450\"", &Media::videoWithAudio, 240, 320, ""},
        // 320*cos45 + 240*sin45 = 396.0 (rounded up to even)
        {base + " -vf \"rotate=45\"", &Media::videoWithAudio, 396, 396, ""},
        {base + " -vf \"crop=200:100:10:20\"", &Media::videoWithAudio, 200, 100, ""},
        // Crop values round down to the chroma grid.
        {base + " -vf \"crop=201:101:1:1\"", &Media::videoWithAudio, 200, 100, ""},
        {base + " -vf \"crop=300:200:0:0,scale=160:120\"", &Media::videoWithAudio, 160, 120, ""},
        {base + " -vf \"vflip,hflip\"", &Media::videoWithAudio, 320, 240, "4:3"},
        // -s is applied last and keeps the display aspect of the turned picture.
        {base + " -s 320x240 -vf \"rotate=90\"", &Media::videoWithAudio, 320, 240, "3:4"},
        {base + " -aspect 16:9 -s 320x240", &Media::videoWithAudio, 320, 240, "16:9"},
        // Odd sizes become even for libx264 (and 4:2:0).
        {base, &Media::oddSize, 320, 240, ""},
        {base + " -s 321x241", &Media::oddSize, 320, 240, ""},
        // A phone video is turned upright before the user's chain.
        {base, &Media::portrait, 240, 320, ""},
        {base + " -vf \"crop=200:100:0:0\"", &Media::portrait, 200, 100, ""},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const fs::path output = folder.Path() / "chain.mp4";
        const ProbeResult probe = ConvertOne(TestMedia().*(c.input), output, c.options);
        EXPECT_EQ(Field(probe, "video", "width"), std::to_string(c.width)) << c.options;
        EXPECT_EQ(Field(probe, "video", "height"), std::to_string(c.height)) << c.options;
        EXPECT_EQ(probe.Count("audio"), 0) << c.options;
        // libx264 output is always 4:2:0, also from the RGB source.
        EXPECT_EQ(Field(probe, "video", "pix_fmt"), "yuv420p") << c.options;
        if (!c.displayAspect.empty()) {
            EXPECT_EQ(Field(probe, "video", "display_aspect_ratio"), c.displayAspect) << c.options;
        }
    }
}

TEST(EncoderConstraints, AdjustedInsteadOfFailing) {
    struct Case {
        std::string extension;
        std::string options;
        fs::path Media::*input;
        std::string videoCodec;
        int width;
        int height;
        std::string frameRate;
        int sampleRate;
    };
    const std::vector<Case> cases = {
        // 3gp: h263 only for its sizes, mpeg4 otherwise.
        {"3gp", "-ac 2 -vb 109k -ab 6700 -ac 1 -ar 8000 -s 320x240", &Media::videoWithAudio,
         "mpeg4", 320, 240, "", 8000},
        // MPEG-1 frame rates snap (15 is not one of them); MPEG-2 has 15.
        {"mpg", "-r 15 -ac 2 -vb 512k -ab 128k -ar 44100 -s 320x240", &Media::videoWithAudio,
         "mpeg1video", 320, 240, "24000/1001", 44100},
        {"mpg", "-r 15 -ac 2 -vcodec mpeg2video -vb 512k -ab 128k -ar 44100 -s 320x240",
         &Media::videoWithAudio, "mpeg2video", 320, 240, "15/1", 44100},
        // Bare dvd: NTSC from a 30 fps input.
        {"vob", "-ac 2 -target dvd -vb 3300k -ab 192k -ar 48000 -s 352x240", &Media::video30,
         "mpeg2video", 352, 240, "30000/1001", 48000},
        // rv20 wants multiples of 4; mp2 rates snap.
        {"rm", "-ac 2 -vcodec rv20 -vb 800k -ab 128k -ar 44100 -s 322x242", &Media::videoWithAudio,
         "rv20", 320, 240, "", 44100},
        {"mpg", "-ac 2 -vb 512k -ab 100k -ar 11025 -s 320x240", &Media::videoWithAudio,
         "mpeg1video", 320, 240, "", 16000},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const fs::path output = folder.Path() / ("out." + c.extension);
        const ProbeResult probe = ConvertOne(TestMedia().*(c.input), output, c.options);
        EXPECT_EQ(Field(probe, "video", "codec_name"), c.videoCodec) << c.options;
        EXPECT_EQ(Field(probe, "video", "width"), std::to_string(c.width)) << c.options;
        EXPECT_EQ(Field(probe, "video", "height"), std::to_string(c.height)) << c.options;
        if (!c.frameRate.empty()) {
            EXPECT_EQ(Field(probe, "video", "avg_frame_rate"), c.frameRate) << c.options;
        }
        EXPECT_EQ(Field(probe, "audio", "sample_rate"), std::to_string(c.sampleRate)) << c.options;
    }
}

// x264 writes its settings into the stream: "-vb 0k" means constant quality (CRF 23).
TEST(EncoderConstraints, ZeroVideoBitrateMeansConstantQualityForX264) {
    struct Case {
        std::string options;
        std::string setting;
    };
    const std::vector<Case> cases = {
        {"-an -vcodec libx264 -vpre libx264-ultrafast -vb 0k", "rc=crf"},
        {"-an -vcodec libx264 -vpre libx264-ultrafast -vb 0k", "crf=23.0"},
        {"-an -vcodec libx264 -vpre libx264-ultrafast -vb 300k", "rc=abr"},
        {"-an -vcodec libx264 -vpre libx264-ultrafast -vb 300k", "bitrate=300"},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const fs::path output = folder.Path() / "q.mkv";
        ConvertOne(TestMedia().videoOnly, output, c.options);
        std::ifstream file(output, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(file)),
                                std::istreambuf_iterator<char>());
        EXPECT_NE(bytes.find(c.setting), std::string::npos) << c.options << " → " << c.setting;
    }
}

// An input whose picture size and audio format change midway converts to one size and one
// audio format, in full length.
TEST(EncoderConstraints, InputFormatChangesMidStream) {
    struct Case {
        std::string extension;
        std::string options;
        bool video;
    };
    const std::vector<Case> cases = {
        {"mp4", "-r 29.97 -ac 2 -vb 512k -ab 128k -ar 44100 -s 320x240", true},
        {"mkv",
         "-ac 2 -vcodec libx264 -vpre libx264-ultrafast -vb 300k  -acodec libmp3lame -ab "
         "128k -ar 44100",
         true},
        {"mp3", "-ac 2 -vn -ab 128k -ar 44100", false},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const ProbeResult probe =
            ConvertOne(TestMedia().changing, folder.Path() / ("c." + c.extension), c.options);
        EXPECT_NEAR(probe.durationSeconds, 2.0, 0.15) << c.options;
        EXPECT_EQ(Field(probe, "audio", "sample_rate"), "44100") << c.options;
        EXPECT_EQ(Field(probe, "audio", "channels"), "2") << c.options;
        if (c.video) {
            EXPECT_EQ(Field(probe, "video", "width"), "320") << c.options;
            EXPECT_EQ(Field(probe, "video", "height"), "240") << c.options;
        }
    }
}

TEST(AudioContainers, NeverGetVideoButKeepTheCover) {
    for (const std::string extension : {"mp3", "m4a", "flac"}) {
        TempFolder folder;
        const fs::path output = folder.Path() / ("song." + extension);
        const ProbeResult probe =
            ConvertOne(TestMedia().coverArtMp3, output, "-ac 2 -vn -ab 128k -ar 44100");
        EXPECT_EQ(probe.Count("video"), 0) << extension;
        EXPECT_EQ(probe.Count("attached_pic"), 1) << extension;
        EXPECT_EQ(probe.Count("audio"), 1) << extension;
    }
    // Without "-vn" too: the container decides.
    TempFolder folder;
    const ProbeResult probe =
        ConvertOne(TestMedia().videoWithAudio, folder.Path() / "a.mp3", "-ac 2 -ab 128k");
    EXPECT_EQ(probe.Count("video"), 0);
}

TEST(Refusals, AddOutputChecksTheWholeOptionString) {
    TempFolder folder;
    QueueRun run;
    const int handle = run.encoder->OpenInput(TestMedia().videoWithAudio.string(), "");
    ASSERT_GE(handle, 0);
    struct Case {
        std::string output;
        std::string options;
        std::string mentioned;
    };
    const std::vector<Case> cases = {
        {"a.mp4", "-r 29.97 -ac 2 -vb 2048k -bogus 1 -s 640x480", "-bogus"},
        {"a.mp4", "-r 29.97 -ac 2 -vb", "-vb"},
        {"a.mp4", "-ac 2 -vcodec libnothing -vb 1k", "libnothing"},
        {"a.avi", "-ac 2 -acodec wmv9 -ab 1k", "wmv9"},
        {"a.xyz", "-ac 2", "a.xyz"},
        {"missing-folder/a.mp4", "-ac 2", "missing-folder"},
        {"a.mp3", "-ac 2 -an", "no audio"},
    };
    for (const Case& c : cases) {
        const auto output = folder.Path() / c.output;
        EXPECT_LT(run.encoder->AddOutput(handle, output.string(), c.options), 0) << c.options;
        EXPECT_NE(run.encoder->LastError().find(c.mentioned), std::string::npos)
            << c.options << " → " << run.encoder->LastError();
    }
    // The input itself is never the output.
    EXPECT_LT(run.encoder->AddOutput(handle, TestMedia().videoWithAudio.string(), "-ac 2"), 0);
    // A good one is still accepted afterwards and numbered from 0; a second task writing the
    // same file is refused.
    EXPECT_EQ(run.encoder->AddOutput(handle, (folder.Path() / "ok.mp3").string(), "-ac 2 -vn"), 0);
    EXPECT_LT(run.encoder->AddOutput(handle, (folder.Path() / "ok.mp3").string(), "-ac 1 -vn"), 0);
    EXPECT_NE(run.encoder->LastError().find("ok.mp3"), std::string::npos);
    run.encoder->ClearTasks();
    EXPECT_LT(run.encoder->StartTasks(2), 0) << "nothing to start after ClearTasks";

    // OpenInput only checks that the file can be read: a missing file or a folder is refused at
    // once, naming the path; a corrupt file is the task's to find out.
    for (const auto& file : {TestMedia().folder / "missing.mp4", TestMedia().folder}) {
        EXPECT_LT(run.encoder->OpenInput(file.string(), ""), 0);
        EXPECT_NE(run.encoder->LastError().find(file.string()), std::string::npos);
    }
    EXPECT_LT(run.encoder->OpenInput(TestMedia().videoWithAudio.string(), "nosuchdemuxer"), 0);
    EXPECT_NE(run.encoder->LastError().find("nosuchdemuxer"), std::string::npos);
}

}  // namespace
}  // namespace ostrel::engine::testing
