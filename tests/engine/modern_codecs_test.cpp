// The H.265, AV1, VP9, Opus and ALAC keys: what ffprobe reads in their outputs (codec,
// profile, bit depth, colour, tag, rates) and GStreamer decoding them to the end; 10-bit and
// HDR phone files keep their depth and colour where the format can hold them and are
// tone-mapped where it cannot.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>

#include "engine_fixture.h"
#include "key_jobs.h"

namespace ostrel::engine::testing {
namespace {

namespace fs = std::filesystem;

// "key=value" lines of ffprobe for the first stream of a kind ("v:0", "a:0"), and whether the
// stream carries mastering display metadata.
std::map<std::string, std::string> StreamFields(const fs::path& file, const std::string& which) {
    const std::string command =
        "ffprobe -v error -select_streams " + which +
        " -show_entries stream=codec_name,profile,pix_fmt,codec_tag_string,width,height,"
        "color_transfer,color_primaries,sample_rate,sample_fmt,bits_per_raw_sample:"
        "stream_side_data=side_data_type -of default=nw=1 " +
        Quote(file) + " 2>/dev/null";
    std::map<std::string, std::string> fields;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return fields;
    }
    char buffer[1024];
    while (std::fgets(buffer, sizeof(buffer), pipe) != nullptr) {
        std::string line(buffer);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.pop_back();
        }
        const auto equals = line.find('=');
        if (equals != std::string::npos) {
            fields[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    pclose(pipe);
    return fields;
}

// GStreamer's own demuxers and decoders read every stream to the end.
bool DecodesWithGStreamer(const fs::path& file, int streams) {
    std::string command =
        "gst-launch-1.0 -q filesrc location=" + Quote(file) + " ! decodebin name=d";
    for (int i = 0; i < streams; ++i) {
        command += " d. ! queue ! fakesink sync=false";
    }
    return RunCommand(command + " >/dev/null 2>&1");
}

fs::path RealFile(const char* name) {
    return fs::path(OSTREL_REAL_MEDIA_DIR) / name;
}

struct Expected {
    const char* field;
    const char* value;
};

struct CodecCase {
    const char* name;
    const char* key;
    fs::path input;
    SourceFacts facts;  // the size the builder is told: it writes it as "-s"
    std::vector<Expected> video;
    std::vector<Expected> audio;
};

void Check(const std::map<std::string, std::string>& fields,
           const std::vector<Expected>& expected) {
    for (const Expected& want : expected) {
        const auto found = fields.find(want.field);
        EXPECT_EQ(found == fields.end() ? "<none>" : found->second, want.value) << want.field;
    }
}

void RunCases(const std::vector<CodecCase>& cases) {
    TempFolder folder;
    std::vector<fs::path> inputs;
    std::vector<fs::path> outputs;
    std::vector<std::string> options;
    for (const CodecCase& c : cases) {
        const KeyJob job = JobFor(QLatin1String(c.key), c.facts);
        inputs.push_back(c.input);
        outputs.push_back(folder.Path() / (std::string(c.name) + "." + job.extension));
        options.push_back(job.options);
    }
    ConvertAll(inputs, outputs, options, std::chrono::seconds(240));
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(std::string(cases[i].name) + ": " + options[i]);
        Check(StreamFields(outputs[i], "v:0"), cases[i].video);
        Check(StreamFields(outputs[i], "a:0"), cases[i].audio);
        const int streams = (cases[i].video.empty() ? 0 : 1) + (cases[i].audio.empty() ? 0 : 1);
        EXPECT_TRUE(DecodesWithGStreamer(outputs[i], streams));
    }
}

TEST(ModernCodecs, EachKeyWritesItsCodecsTagsAndRates) {
    const Media& media = TestMedia();
    TempFolder fixtures;
    const fs::path wav24 = fixtures.Path() / "tone24.wav";
    MustRun(
        "ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:duration=1 -ac 2 "
        "-c:a pcm_s24le " +
        Quote(wav24));
    const SourceFacts av = {true, true, 320, 240};
    const SourceFacts sound = {false, true, std::nullopt, std::nullopt};
    RunCases({
        {"hevc-mp4",
         "mp4hevc",
         media.videoWithAudio,
         av,
         {{"codec_name", "hevc"},
          {"profile", "Main"},
          {"pix_fmt", "yuv420p"},
          {"codec_tag_string", "hvc1"},
          {"width", "320"}},
         {{"codec_name", "aac"}, {"sample_rate", "44100"}}},
        {"hevc-mkv",
         "mkvhevc",
         media.videoWithAudio,
         av,
         {{"codec_name", "hevc"}, {"pix_fmt", "yuv420p"}, {"height", "240"}},
         {{"codec_name", "aac"}}},
        {"av1-mp4",
         "mp4av1",
         media.videoWithAudio,
         av,
         {{"codec_name", "av1"}, {"profile", "Main"}, {"pix_fmt", "yuv420p"}},
         {{"codec_name", "aac"}}},
        // WebM's sound is Opus, always at 48 kHz (the input is 44.1 kHz).
        {"av1-webm",
         "webmav1",
         media.videoWithAudio,
         av,
         {{"codec_name", "av1"}, {"pix_fmt", "yuv420p"}},
         {{"codec_name", "opus"}, {"sample_rate", "48000"}}},
        {"vp9-webm",
         "webmvp9",
         media.videoWithAudio,
         av,
         {{"codec_name", "vp9"}, {"profile", "Profile 0"}, {"pix_fmt", "yuv420p"}},
         {{"codec_name", "opus"}, {"sample_rate", "48000"}}},
        {"opus",
         "opus",
         media.audioOnly,
         sound,
         {},
         {{"codec_name", "opus"}, {"sample_rate", "48000"}}},
        // Lossless: 16-bit sound stays 16-bit, 24-bit stays 24-bit, at the source's rate.
        {"alac16",
         "alac",
         media.audioOnly,
         sound,
         {},
         {{"codec_name", "alac"}, {"sample_fmt", "s16p"}, {"sample_rate", "44100"}}},
        {"alac24",
         "alac",
         wav24,
         sound,
         {},
         {{"codec_name", "alac"}, {"bits_per_raw_sample", "24"}, {"sample_rate", "44100"}}},
    });
}

TEST(ModernCodecs, TenBitAndHdrSourcesKeepTheirDepthAndColourOrAreToneMapped) {
    const fs::path hlg = RealFile("ax-hlg10-color-test.mp4");  // HEVC HLG, 1080p
    const fs::path pq = RealFile("ax-hdr10-av1.mp4");          // AV1 PQ, 720x1280
    const fs::path mastered = RealFile("ax-sample_with_colr_mdcv_and_clli.mp4");  // AV1 PQ
    const fs::path vp9 = RealFile("ax-roadtrip-vp92-10bit.webm");                 // VP9 10-bit, SDR
    for (const fs::path& file : {hlg, pq, mastered, vp9}) {
        if (!fs::exists(file)) {
            GTEST_SKIP() << "skipped: " << file
                         << " is missing (the real-world media folder is set with "
                            "OSTREL_REAL_MEDIA_DIR)";
        }
    }
    // An 8-bit clip tagged HLG: kept as it is by HEVC, tone-mapped for H.264.
    TempFolder fixtures;
    const fs::path hlg8 = fixtures.Path() / "hlg8.mp4";
    MustRun(
        "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=320x180:rate=25:duration=1 "
        "-c:v libx264 -preset ultrafast -pix_fmt yuv420p -color_primaries bt2020 -color_trc "
        "arib-std-b67 -colorspace bt2020nc " +
        Quote(hlg8));
    const SourceFacts wide = {true, false, 320, 180};
    const std::vector<Expected> hdrHlg = {{"pix_fmt", "yuv420p10le"},
                                          {"color_transfer", "arib-std-b67"},
                                          {"color_primaries", "bt2020"}};
    const std::vector<Expected> sdr8 = {
        {"pix_fmt", "yuv420p"}, {"color_transfer", "bt709"}, {"color_primaries", "bt709"}};
    RunCases({
        {"hlg-hevc",
         "mp4hevc",
         hlg,
         wide,
         {{"profile", "Main 10"}, hdrHlg[0], hdrHlg[1], hdrHlg[2]},
         {}},
        {"hlg-vp9", "webmvp9", hlg, wide, {{"profile", "Profile 2"}, hdrHlg[0], hdrHlg[1]}, {}},
        {"pq-av1",
         "mp4av1",
         pq,
         {true, false, 180, 320},
         {{"pix_fmt", "yuv420p10le"},
          {"color_transfer", "smpte2084"},
          {"color_primaries", "bt2020"}},
         {}},
        // Matroska keeps the mastering display and content light levels.
        {"mastered-mkv",
         "mkvhevc",
         mastered,
         wide,
         {{"pix_fmt", "yuv420p10le"},
          {"color_transfer", "smpte2084"},
          {"side_data_type", "Mastering display metadata"}},
         {}},
        // H.264 is 8-bit: HDR is tone-mapped to BT.709, never shown washed out.
        {"hlg-h264", "mp4h264", hlg, wide, sdr8, {}},
        {"pq-h264", "mp4h264", mastered, wide, sdr8, {}},
        // A 10-bit SDR source becomes 8-bit H.264 without tone mapping, and stays 10-bit VP9.
        {"vp9-h264", "mp4h264", vp9, wide, {{"pix_fmt", "yuv420p"}}, {}},
        {"vp9-vp9", "webmvp9", vp9, wide, {{"pix_fmt", "yuv420p10le"}}, {}},
        {"hlg8-hevc",
         "mkvhevc",
         hlg8,
         wide,
         {{"pix_fmt", "yuv420p"}, {"color_transfer", "arib-std-b67"}},
         {}},
        {"hlg8-h264",
         "mp4h264",
         hlg8,
         wide,
         {{"pix_fmt", "yuv420p"}, {"color_transfer", "bt709"}},
         {}},
    });
}

}  // namespace
}  // namespace ostrel::engine::testing
