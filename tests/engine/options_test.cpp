#include <gtest/gtest.h>

#include "engine/ffmpeg/job.h"

namespace ostrel::engine::ff {
namespace {

JobSpec Parse(const std::string& text, double inputFrameRate = 25.0) {
    JobSpec job;
    std::string error;
    InputFacts facts{inputFrameRate};
    EXPECT_TRUE(ParseOptions(text, facts, job, error)) << text << ": " << error;
    return job;
}

TEST(OptionTokens, BlanksSeparateAndQuotesGroup) {
    struct Case {
        std::string text;
        std::vector<std::string> tokens;
    };
    const std::vector<Case> cases = {
        {"-ac 2 -vn  -ar 44100", {"-ac", "2", "-vn", "-ar", "44100"}},
        {"  -an\t-vn ", {"-an", "-vn"}},
        {"-vf \"vflip,rotate=90\"", {"-vf", "vflip,rotate=90"}},
        {"-x \"a b\" c", {"-x", "a b", "c"}},
        {"", {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> tokens;
        std::string error;
        ASSERT_TRUE(SplitTokens(c.text, tokens, error)) << c.text;
        EXPECT_EQ(tokens, c.tokens) << c.text;
    }
    std::vector<std::string> tokens;
    std::string error;
    EXPECT_FALSE(SplitTokens("-vf \"vflip", tokens, error));
}

TEST(OptionValues, BuilderStringsParse) {
    const JobSpec mp4 = Parse("-r 29.97 -ac 2 -vb 2048k -ab 128k -ar 44100 -s 640x480");
    EXPECT_EQ(mp4.frameRate.num, 2997);
    EXPECT_EQ(mp4.frameRate.den, 100);
    EXPECT_EQ(mp4.channels, 2);
    EXPECT_EQ(mp4.videoBitrate, 2048000);
    EXPECT_EQ(mp4.audioBitrate, 128000);
    EXPECT_EQ(mp4.sampleRate, 44100);
    EXPECT_EQ(mp4.width, 640);
    EXPECT_EQ(mp4.height, 480);

    const JobSpec threeGp = Parse("-ac 2 -vb 109k -ab 6700 -ac 1 -ar 8000 -s 176x144");
    EXPECT_EQ(threeGp.channels, 1) << "a later option overrides an earlier one";
    EXPECT_EQ(threeGp.audioBitrate, 6700) << "no suffix means bit/s";

    const JobSpec f4v = Parse(
        "-ac 2 -vcodec libx264 -vpre libx264-veryfast -f flv -vb 1229k -acodec libfaac -ab 128k "
        "-ar 44100 -ac 2 -s 480x320");
    EXPECT_EQ(f4v.videoCodec, "libx264");
    EXPECT_EQ(f4v.x264Preset, "veryfast");
    EXPECT_EQ(f4v.muxer, "flv");
    EXPECT_EQ(f4v.audioCodec, "aac") << "libfaac is served by the native encoder";
    EXPECT_EQ(f4v.passes, 1);
    EXPECT_EQ(Parse("-vcodec libvpx-vp9 -passes 2 -crf 20 -b:v 0").passes, 2);

    const JobSpec chain = Parse(
        "-an -aspect 16:9 -ac 2 -vcodec libx264 -vpre libx264-default -vb 0k -vf "
        "\"crop=600:400:20:40,scale=320:240,vflip,hflip,rotate=-90\"");
    EXPECT_TRUE(chain.noAudio);
    EXPECT_EQ(chain.aspect.num, 16);
    EXPECT_EQ(chain.aspect.den, 9);
    EXPECT_EQ(chain.x264Preset, "medium");
    EXPECT_EQ(chain.videoBitrate, 0);
    ASSERT_EQ(chain.filters.size(), 5u);
    EXPECT_EQ(chain.filters[0].kind, FilterStep::Kind::Crop);
    EXPECT_EQ(chain.filters[0].width, 600);
    EXPECT_EQ(chain.filters[0].y, 40);
    EXPECT_EQ(chain.filters[1].kind, FilterStep::Kind::Scale);
    EXPECT_EQ(chain.filters[4].kind, FilterStep::Kind::Rotate);
    EXPECT_DOUBLE_EQ(chain.filters[4].degrees, -90.0);
}

TEST(OptionValues, TargetsSetTheirTablesAndVideoBitrateWins) {
    struct Case {
        std::string text;
        double inputRate;
        std::string muxer;
        std::string videoCodec;
        std::string audioCodec;
        int width;
        int height;
        int rateNum;
        int rateDen;
        std::int64_t videoBitrate;
        int sampleRate;
    };
    const std::vector<Case> cases = {
        {"-ac 2 -target ntsc-vcd -vb 1150k -ab 224k -ar 44100 -s 352x240", 25, "vcd", "mpeg1video",
         "mp2", 352, 240, 30000, 1001, 1150000, 44100},
        {"-target pal-vcd", 25, "vcd", "mpeg1video", "mp2", 352, 288, 25, 1, 1150000, 44100},
        {"-target ntsc-dvd -ab 192k -ar 48000 -s 720x480", 25, "dvd", "mpeg2video", "ac3", 720, 480,
         30000, 1001, 6000000, 48000},
        {"-target pal-dvd -ar 44100", 30, "dvd", "mpeg2video", "ac3", 720, 576, 25, 1, 6000000,
         44100},
        // "-vb" wins over the target wherever it stands; other options after the target win.
        {"-vb 800k -target pal-dvd -s 352x288", 25, "dvd", "mpeg2video", "ac3", 352, 288, 25, 1,
         800000, 48000},
        // Bare "dvd" chooses the standard from the input's frame rate.
        {"-target dvd -vb 3300k", 25, "dvd", "mpeg2video", "ac3", 720, 576, 25, 1, 3300000, 48000},
        {"-target dvd -vb 3300k", 50, "dvd", "mpeg2video", "ac3", 720, 576, 25, 1, 3300000, 48000},
        {"-target dvd -vb 3300k", 29.97, "dvd", "mpeg2video", "ac3", 720, 480, 30000, 1001, 3300000,
         48000},
        {"-target dvd -vb 3300k", 0, "dvd", "mpeg2video", "ac3", 720, 480, 30000, 1001, 3300000,
         48000},
    };
    for (const Case& c : cases) {
        const JobSpec job = Parse(c.text, c.inputRate);
        EXPECT_EQ(job.muxer, c.muxer) << c.text;
        EXPECT_EQ(job.videoCodec, c.videoCodec) << c.text;
        EXPECT_EQ(job.audioCodec, c.audioCodec) << c.text;
        EXPECT_EQ(job.width, c.width) << c.text;
        EXPECT_EQ(job.height, c.height) << c.text;
        EXPECT_EQ(job.frameRate.num, c.rateNum) << c.text;
        EXPECT_EQ(job.frameRate.den, c.rateDen) << c.text;
        EXPECT_EQ(job.videoBitrate, c.videoBitrate) << c.text;
        EXPECT_EQ(job.sampleRate, c.sampleRate) << c.text;
        EXPECT_TRUE(job.target.set) << c.text;
    }
}

TEST(OptionValues, RefusalsNameTheToken) {
    struct Case {
        std::string text;
        std::string mentioned;
    };
    const std::vector<Case> cases = {
        {"-ac 2 -foo 3", "-foo"},
        {"-ac 2 -vb", "-vb"},
        {"-ab 128k -ar", "-ar"},
        {"-vcodec nosuchcodec", "nosuchcodec"},
        {"-acodec libx264", "libx264"},  // a video encoder named for audio
        {"-s 640by480", "640by480"},
        {"-ac two", "two"},
        {"-ar 0", "0"},
        {"-vb fast", "fast"},
        {"-r -5", "-5"},
        {"-target svcd9", "svcd9"},
        {"-vpre libx264-turbo", "libx264-turbo"},
        {"-f nosuchmuxer", "nosuchmuxer"},
        {"-vf \"blur=3\"", "blur=3"},
        {"-vf \"crop=0:10:0:0\"", "crop=0:10:0:0"},
        {"-vf \"rotate=abc\"", "rotate=abc"},
        {"-vf \"vflip=1\"", "vflip=1"},
        {"vflip", "vflip"},
        {"-map_metadata 1", "-map_metadata"},
        {"-passes 3", "-passes"},
        {"-passes 0", "-passes"},
    };
    for (const Case& c : cases) {
        JobSpec job;
        std::string error;
        EXPECT_FALSE(ParseOptions(c.text, InputFacts{25.0}, job, error)) << c.text;
        EXPECT_NE(error.find(c.mentioned), std::string::npos) << c.text << " → " << error;
    }
}

TEST(OptionValues, DeviceGroupParsesAndBadValuesAreRefused) {
    const JobSpec h264 = Parse(
        "-vcodec libx264 -vb 2048k -profile:v baseline -level 3.0 -maxrate 1500k -bufsize 2000k "
        "-bf 0 -refs 1 -coder 0 -g 15 -x264-params keyint=30:open-gop=0 -pix_fmt yuv420p "
        "-tag:v avc1");
    const CodecConstraints& c = h264.constraints;
    EXPECT_EQ(c.profile, "baseline");
    EXPECT_DOUBLE_EQ(c.level, 3.0);
    EXPECT_EQ(c.maxRate, 1500000);
    EXPECT_EQ(c.bufferBits, 2000000);
    EXPECT_EQ(c.bFrames, 0);
    EXPECT_EQ(c.refs, 1);
    EXPECT_EQ(c.coder, 0);
    EXPECT_EQ(c.gopSize, 15);
    EXPECT_EQ(c.x264Params, "keyint=30:open-gop=0");
    EXPECT_EQ(c.pixelFormat, "yuv420p");
    EXPECT_EQ(c.videoTag, "avc1");
    EXPECT_EQ(h264.videoBitrate, 2048000);  // the cap is the encoder's business
    EXPECT_EQ(Parse("-profile:v advanced_simple -level 5 -coder cabac").constraints.coder, 1);

    for (const std::string text :
         {"-profile:v extended", "-level 0", "-level 99", "-maxrate 0", "-bufsize fast", "-bf 17",
          "-refs 0", "-coder 2", "-x264-params keyint", "-x264-params a=b;rm",
          "-pix_fmt nosuchformat", "-tag:v avc", "-g -1"}) {
        JobSpec job;
        std::string error;
        EXPECT_FALSE(ParseOptions(text, InputFacts{25.0}, job, error)) << text;
        EXPECT_NE(error.find(text.substr(0, text.find(' '))), std::string::npos) << error;
    }
}

// Random mixtures of the language's pieces: parsing never crashes, and a refusal always
// says why.
TEST(OptionValues, RandomStringsAreParsedOrRefusedWithText) {
    std::vector<std::string> pieces;
    std::string piece;
    for (char c : std::string("-r|-ac|-ar|-s|-vb|-ab|-vcodec|-acodec|-vpre|-f|-vf|-target|-an|-vn|"
                              "-aspect|29.97|2|44100|0k|640x480|libx264|aac|mp4|dvd|16:9|\"|"
                              "\"crop=1:1:0:0|rotate=90\"|,||-|x|=|:|k|99999999999999999999|")) {
        if (c == '|') {
            pieces.push_back(piece);
            piece.clear();
        } else {
            piece += c;
        }
    }
    std::uint32_t state = 12345;
    auto next = [&state]() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (int i = 0; i < 3000; ++i) {
        std::string text;
        const int count = static_cast<int>(next() % 8);
        for (int j = 0; j < count; ++j) {
            text += pieces[next() % pieces.size()];
            text += (next() % 3 == 0) ? "" : " ";
        }
        JobSpec job;
        std::string error;
        if (!ParseOptions(text, InputFacts{25.0}, job, error)) {
            EXPECT_FALSE(error.empty()) << text;
        }
    }
}

TEST(OptionValues, MapMetadataMinusOneMakesCleanFiles) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"-ac 2 -vn -ab 128k", false},
        {"-ac 2 -vn -ab 128k -map_metadata -1", true},
        {"-map_metadata -1 -map_metadata 0", false},  // the later one wins
    };
    for (const auto& [text, clean] : cases) {
        JobSpec job;
        std::string error;
        ASSERT_TRUE(ParseOptions(text, InputFacts{25.0}, job, error)) << text << ": " << error;
        EXPECT_EQ(job.noMetadata, clean) << text;
    }
}

TEST(OptionValues, Bitrates) {
    const std::vector<std::pair<std::string, std::int64_t>> cases = {
        {"128k", 128000}, {"6700", 6700}, {"0k", 0}, {"1.5M", 1500000}, {"64K", 64000}};
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(ParseBitrate(text), value) << text;
    }
    for (const std::string text : {"", "k", "-5k", "12x"}) {
        EXPECT_FALSE(ParseBitrate(text).has_value()) << text;
    }
}

TEST(Containers, DefaultsByExtensionAndFormatOption) {
    struct Case {
        std::string extension;
        std::string muxerOption;
        std::string muxer;
        std::string video;
        std::string audio;
    };
    const std::vector<Case> cases = {
        {"mp4", "", "mp4", "mpeg4", "aac"},
        {"mov", "", "mov", "mpeg4", "aac"},
        {"f4v", "flv", "flv", "libx264", "aac"},
        {"vob", "", "dvd", "mpeg2video", "ac3"},
        {"mpg", "", "mpeg", "mpeg1video", "mp2"},
        {"webm", "", "webm", "libvpx", "libvorbis"},
        {"flv", "", "flv", "flv", "libmp3lame"},
        {"rm", "", "rm", "rv20", "ac3"},
        {"m4a", "", "ipod", "", "aac"},
        {"aac", "", "adts", "", "aac"},
        {"wma", "", "asf", "", "wmav2"},
        {"ra", "", "rm", "", "ac3"},
        {"aiff", "", "aiff", "", "pcm_s16be"},
        {"MP3", "", "mp3", "", "libmp3lame"},
        {"3gp", "", "3gp", "h263", "libopencore_amrnb"},
    };
    for (const Case& c : cases) {
        const auto info = ContainerForOutput(c.extension, c.muxerOption);
        ASSERT_TRUE(info.has_value()) << c.extension;
        EXPECT_EQ(info->muxer, c.muxer) << c.extension;
        EXPECT_EQ(info->videoCodec, c.video) << c.extension;
        EXPECT_EQ(info->audioCodec, c.audio) << c.extension;
        EXPECT_EQ(info->audioOnly, c.video.empty()) << c.extension;
    }
    EXPECT_FALSE(ContainerForOutput("nosuchext", "").has_value());
}

}  // namespace
}  // namespace ostrel::engine::ff
