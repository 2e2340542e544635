// What a conversion carries besides pictures and sound: tags, dates, cover art, chapters and
// subtitles. The ffmpeg tool converting the same file is the oracle for the tags.
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/version.h>
}

#include <cstdio>
#include <regex>

#include "engine/ffmpeg/ffmpeg_engine.h"
#include "engine/ffmpeg/metadata.h"
#include "engine_fixture.h"
#include "key_jobs.h"

namespace ostrel::engine::testing {
namespace {

namespace fs = std::filesystem;

// The tags of expected missing from actual, as "key=value" lines. Matroska's DURATION is the
// muxer's own measure of the track (which differs by the encoders' delays): it must be there.
std::string MissingTags(const std::map<std::string, std::string>& expected,
                        const std::map<std::string, std::string>& actual) {
    std::string missing;
    for (const auto& [key, value] : expected) {
        const auto found = actual.find(key);
        if (found == actual.end() || (found->second != value && key != "DURATION")) {
            missing += "  " + key + "=" + value +
                       " (ours: " + (found == actual.end() ? "none" : found->second) + ")\n";
        }
    }
    return missing;
}

TEST(Tags, EveryFormatKeyKeepsWhatTheFfmpegToolKeeps) {
    const std::vector<KeyJob> jobs = AllKeyJobs();
    ASSERT_EQ(jobs.size(), 38u);
    TempFolder folder;
    std::vector<fs::path> outputs;
    std::vector<std::string> options;
    for (const KeyJob& job : jobs) {
        outputs.push_back(folder.Path() / (job.key + " – Grüße." + job.extension));
        options.push_back(job.options);
    }
    const fs::path input = TestMedia().taggedMkv;
    const std::vector<TagProbe> ours = ConvertAll({input}, outputs, options);
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        SCOPED_TRACE(jobs[i].key + ": " + jobs[i].options);
        ASSERT_TRUE(ours[i].ok);
        const fs::path oracleOutput =
            folder.Path() / ("oracle-" + jobs[i].key + "." + jobs[i].extension);
        const std::string command = OracleCommand(input, oracleOutput, jobs[i], ours[i]);
        ASSERT_TRUE(RunCommand(command)) << command;
        const TagProbe oracle = ProbeTags(oracleOutput);
        ASSERT_TRUE(oracle.ok);
        EXPECT_EQ(MissingTags(oracle.format.tags, ours[i].format.tags), "") << command;
        for (const std::string type : {"video", "audio"}) {
            const Section* theirs = oracle.First(type);
            const Section* mine = ours[i].First(type);
            ASSERT_EQ(theirs == nullptr, mine == nullptr) << type;
            if (theirs != nullptr) {
                EXPECT_EQ(MissingTags(theirs->tags, mine->tags), "") << type << ": " << command;
            }
        }
        // The title survives wherever the container has a place for it.
        if (oracle.format.Tag("title") != "<none>") {
            EXPECT_EQ(ours[i].format.Tag("title"), "Grüße aus Köln");
        }
    }
}

TEST(Tags, RecordingDateAndPlaceOfAPhoneVideo) {
    struct Case {
        const char* key;
        bool location;  // the container has a place for it
    };
    const std::vector<Case> cases = {
        {"mp4h264", true}, {"mov", true}, {"3gp", true}, {"mkv", true}, {"m4a", true}};
    TempFolder folder;
    std::vector<fs::path> outputs;
    std::vector<std::string> options;
    for (const Case& c : cases) {
        const KeyJob job = JobFor(QLatin1String(c.key));
        outputs.push_back(folder.Path() / ("date." + job.key + "." + job.extension));
        options.push_back(job.options);
    }
    const std::vector<TagProbe> ours = ConvertAll({TestMedia().taggedMp4}, outputs, options);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].key);
        EXPECT_EQ(ours[i].format.Tag("creation_time"), "2020-05-17T10:20:30.000000Z");
        if (cases[i].location) {
            EXPECT_EQ(ours[i].format.Tag("location"), "+48.8577+002.2950/");
        }
    }
}

TEST(CoverArt, KeptAsTheAttachedPictureOfAudioFiles) {
    struct Case {
        fs::path Media::*input;
        const char* key;
        std::string codec;  // of the cover; empty: none
        std::string width;
        std::string height;
    };
    const std::vector<Case> cases = {
        {&Media::coverArtMp3, "m4a", "mjpeg", "64", "64"},
        // MP4 and FLAC have no GIF covers: PNG, once, keeps its palette and size.
        {&Media::taggedMp3, "m4a", "png", "64", "48"},
        {&Media::taggedMp3, "flac", "png", "64", "48"},
        {&Media::taggedM4a, "mp3", "png", "64", "48"},
        {&Media::taggedFlac, "mp3", "png", "64", "48"},
        // The OGG muxer has no place for a picture.
        {&Media::taggedMp3, "ogg", "", "", ""},
    };
    TempFolder folder;
    std::vector<fs::path> inputs;
    std::vector<fs::path> outputs;
    std::vector<std::string> options;
    for (const Case& c : cases) {
        const KeyJob job = JobFor(QLatin1String(c.key), {false, true, std::nullopt, std::nullopt});
        inputs.push_back(TestMedia().*(c.input));
        outputs.push_back(folder.Path() /
                          ("cover " + std::to_string(outputs.size()) + "." + job.extension));
        options.push_back(job.options);
    }
    const std::vector<TagProbe> ours = ConvertAll(inputs, outputs, options);
    auto decoder = ff::CreateFfmpegDecoder();
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(inputs[i].filename().string() + " to " + c.key);
        EXPECT_EQ(ours[i].Count("video"), 0);
        EXPECT_EQ(ours[i].Count("audio"), 1);
        EXPECT_EQ(ours[i].Count("attached_pic"), c.codec.empty() ? 0 : 1);
        if (const Section* cover = ours[i].First("attached_pic")) {
            EXPECT_EQ(cover->Field("codec_name"), c.codec);
            EXPECT_EQ(cover->Field("width"), c.width);
            EXPECT_EQ(cover->Field("height"), c.height);
        }
        // The probe sees an audio file: the cover is no video.
        ASSERT_TRUE(decoder->OpenFile(outputs[i].string(), "")) << decoder->LastError();
        EXPECT_EQ(decoder->VideoStreamCount(), 0);
        EXPECT_EQ(decoder->AudioStreamCount(), 1);
        decoder->CloseFile();
    }
}

TEST(Chapters, KeptBetweenMatroskaAndMp4) {
    struct Case {
        fs::path Media::*input;
        const char* key;
    };
    const std::vector<Case> cases = {
        {&Media::taggedMkv, "mp4h264"},
        {&Media::taggedMkv, "mov"},
        {&Media::taggedMp4, "mkv"},
        {&Media::taggedMp4, "m4a"},
    };
    TempFolder folder;
    std::vector<fs::path> inputs;
    std::vector<fs::path> outputs;
    std::vector<std::string> options;
    for (const Case& c : cases) {
        const KeyJob job = JobFor(QLatin1String(c.key));
        inputs.push_back(TestMedia().*(c.input));
        outputs.push_back(folder.Path() /
                          ("chapters " + std::to_string(outputs.size()) + "." + job.extension));
        options.push_back(job.options);
    }
    const std::vector<TagProbe> ours = ConvertAll(inputs, outputs, options);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(inputs[i].filename().string() + " to " + cases[i].key);
        ASSERT_EQ(ours[i].chapters.size(), 2u);
        EXPECT_EQ(ours[i].chapters[0].Tag("title"), "Erstes Kapitel");
        EXPECT_EQ(ours[i].chapters[1].Tag("title"), "Zweites – Kapitel");
        EXPECT_NEAR(std::stod(ours[i].chapters[0].Field("start_time")), 0.0, 0.001);
        EXPECT_NEAR(std::stod(ours[i].chapters[1].Field("start_time")), 0.5, 0.001);
        EXPECT_NEAR(std::stod(ours[i].chapters[1].Field("end_time")), 1.0, 0.03);
    }
}

// Stream tags: the input's are kept, the encoder is ours, and an old "rotate" tag is dropped
// (the picture was turned upright already).
TEST(Tags, StreamTagsNameOurEncoderAndNoRotation) {
    AVFormatContext* context = avformat_alloc_context();
    ASSERT_NE(context, nullptr);
    AVStream* input = avformat_new_stream(context, nullptr);
    AVStream* output = avformat_new_stream(context, nullptr);
    ASSERT_TRUE(input != nullptr && output != nullptr);
    for (const auto& [key, value] :
         std::vector<std::pair<const char*, const char*>>{{"language", "ger"},
                                                          {"title", "Stereo – Deutsch"},
                                                          {"ROTATE", "90"},
                                                          {"ENCODER", "Old Tool"}}) {
        av_dict_set(&input->metadata, key, value, 0);
    }
    const AVCodec* codec = avcodec_find_encoder_by_name("flac");
    ASSERT_NE(codec, nullptr);
    ff::CopyStreamTags(*input, *output, codec, ff::TagPolicy::Keep);
    std::map<std::string, std::string> tags;
    for (const AVDictionaryEntry* entry = nullptr;
         (entry = av_dict_get(output->metadata, "", entry, AV_DICT_IGNORE_SUFFIX)) != nullptr;) {
        tags[entry->key] = entry->value;
    }
    const std::map<std::string, std::string> expected = {
        {"language", "ger"},
        {"title", "Stereo – Deutsch"},
        {"encoder", std::string(LIBAVCODEC_IDENT) + " flac"}};
    EXPECT_EQ(tags, expected);
    avformat_free_context(context);
}

// Chapters move with the input's start time and end with the converted length.
TEST(Chapters, MovedAndTrimmedToTheOutput) {
    AVFormatContext* input = avformat_alloc_context();
    AVFormatContext* output = avformat_alloc_context();
    ASSERT_NE(input, nullptr);
    ASSERT_NE(output, nullptr);
    const std::vector<std::pair<std::int64_t, std::int64_t>> spans = {
        {0, 50}, {100, 600}, {600, 1600}, {1200, 1500}};  // ms
    input->chapters = static_cast<AVChapter**>(av_calloc(spans.size(), sizeof(AVChapter*)));
    for (const auto& [start, end] : spans) {
        auto* chapter = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
        chapter->id = input->nb_chapters + 1;
        chapter->time_base = {1, 1000};
        chapter->start = start;
        chapter->end = end;
        av_dict_set(&chapter->metadata, "title", std::to_string(start).c_str(), 0);
        input->chapters[input->nb_chapters++] = chapter;
    }
    // The input starts at 0.1 s; 1 s is converted.
    ASSERT_TRUE(ff::CopyChapters(*input, *output, 100000, 1000000, ff::TagPolicy::Keep));
    ASSERT_EQ(output->nb_chapters, 2u);
    EXPECT_EQ(output->chapters[0]->start, 0);
    EXPECT_EQ(output->chapters[0]->end, 500);
    EXPECT_STREQ(av_dict_get(output->chapters[0]->metadata, "title", nullptr, 0)->value, "100");
    EXPECT_EQ(output->chapters[1]->start, 500);
    EXPECT_EQ(output->chapters[1]->end, 1000);
    // Clean files get none.
    AVFormatContext* clean = avformat_alloc_context();
    ASSERT_TRUE(ff::CopyChapters(*input, *clean, 0, 0, ff::TagPolicy::Strip));
    EXPECT_EQ(clean->nb_chapters, 0u);
    avformat_free_context(clean);
    avformat_free_context(output);
    avformat_free_context(input);
}

// Clean files: the muxer's own tags only, as the ffmpeg tool's "-map_metadata -1" leaves them,
// and neither chapters nor a cover.
TEST(Tags, NoMetadataLeavesOnlyTheMuxersOwn) {
    struct Case {
        fs::path Media::*input;
        const char* key;
    };
    const std::vector<Case> cases = {
        {&Media::taggedMkv, "mkv"}, {&Media::taggedMkv, "mp4h264"}, {&Media::taggedMp4, "mov"},
        {&Media::taggedMp3, "m4a"}, {&Media::taggedM4a, "mp3"},     {&Media::taggedMp3, "flac"},
        {&Media::taggedMkv, "ogg"}, {&Media::taggedMkv, "wma"},
    };
    TempFolder folder;
    std::vector<fs::path> inputs;
    std::vector<fs::path> outputs;
    std::vector<std::string> options;
    std::vector<KeyJob> jobs;
    for (const Case& c : cases) {
        jobs.push_back(JobFor(QLatin1String(c.key)));
        jobs.back().options += " -map_metadata -1";
        inputs.push_back(TestMedia().*(c.input));
        outputs.push_back(folder.Path() / ("clean " + std::to_string(outputs.size()) + "." +
                                           jobs.back().extension));
        options.push_back(jobs.back().options);
    }
    const std::vector<TagProbe> ours = ConvertAll(inputs, outputs, options);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(inputs[i].filename().string() + " to " + cases[i].key);
        const fs::path oracleOutput = folder.Path() / ("oracle " + outputs[i].filename().string());
        const std::string command =
            OracleCommand(inputs[i], oracleOutput, jobs[i], ours[i], "-sn -map_metadata -1");
        ASSERT_TRUE(RunCommand(command)) << command;
        const TagProbe oracle = ProbeTags(oracleOutput);
        EXPECT_EQ(MissingTags(ours[i].format.tags, oracle.format.tags), "") << command;
        for (const std::string type : {"video", "audio"}) {
            if (const Section* mine = ours[i].First(type)) {
                ASSERT_NE(oracle.First(type), nullptr);
                EXPECT_EQ(MissingTags(mine->tags, oracle.First(type)->tags), "") << type;
            }
        }
        EXPECT_EQ(ours[i].format.Tag("title"), "<none>");
        EXPECT_TRUE(ours[i].chapters.empty());
        EXPECT_EQ(ours[i].Count("attached_pic"), 0);
    }
}

// The first subtitle track of a file as SubRip text on the file's own clock, by the ffmpeg tool.
std::string SubtitleText(const fs::path& file) {
    const std::string command = "ffmpeg -nostdin -v error -copyts -i " + Quote(file) +
                                " -map 0:s:0 -c:s srt -f srt - 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return {};
    }
    std::string text;
    char buffer[4096];
    while (std::fgets(buffer, sizeof(buffer), pipe) != nullptr) {
        text += buffer;
    }
    pclose(pipe);
    return text;
}

struct SubtitleEvent {
    double start = 0.0;  // s
    double end = 0.0;
    std::string text;
};

std::vector<SubtitleEvent> SubtitleEvents(const fs::path& file) {
    const std::string text = SubtitleText(file);
    const std::regex event(R"((\d+):(\d+):(\d+),(\d+) --> (\d+):(\d+):(\d+),(\d+)\n([^\n]*))");
    std::vector<SubtitleEvent> events;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), event);
         it != std::sregex_iterator(); ++it) {
        const std::smatch& m = *it;
        auto seconds = [&m](int first) {
            return std::stod(m[first]) * 3600 + std::stod(m[first + 1]) * 60 +
                   std::stod(m[first + 2]) + std::stod(m[first + 3]) / 1000;
        };
        events.push_back({seconds(1), seconds(5), m[9]});
    }
    return events;
}

TEST(Subtitles, TextTracksInTheContainersThatHoldThem) {
    struct Case {
        fs::path Media::*input;
        const char* key;
        std::string codec;  // empty: no subtitle track
        std::string title;  // empty: the input or the output has no place for it
    };
    const std::vector<Case> cases = {
        {&Media::taggedMkv, "mp4h264", "mov_text", ""},
        {&Media::taggedMkv, "3gp", "mov_text", ""},
        {&Media::taggedMp4, "mkv", "subrip", ""},  // MP4 held no track title
        {&Media::taggedMkv, "mkv", "subrip", "Français"},
        {&Media::taggedMkv, "webm", "webvtt", "Français"},
        {&Media::taggedMkv, "avi", "", ""},
        {&Media::taggedMkv, "mp3", "", ""},
    };
    TempFolder folder;
    std::vector<fs::path> inputs;
    std::vector<fs::path> outputs;
    std::vector<std::string> options;
    for (const Case& c : cases) {
        const KeyJob job = JobFor(QLatin1String(c.key));
        inputs.push_back(TestMedia().*(c.input));
        outputs.push_back(folder.Path() /
                          ("subtitles " + std::to_string(outputs.size()) + "." + job.extension));
        options.push_back(job.options);
    }
    const std::vector<TagProbe> ours = ConvertAll(inputs, outputs, options);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(inputs[i].filename().string() + " to " + c.key);
        EXPECT_EQ(ours[i].Count("subtitle"), c.codec.empty() ? 0 : 1);
        const Section* track = ours[i].First("subtitle");
        if (track == nullptr) {
            continue;
        }
        EXPECT_EQ(track->Field("codec_name"), c.codec);
        EXPECT_EQ(track->Tag("language"), "fre");
        if (!c.title.empty()) {
            EXPECT_EQ(track->Tag("title"), c.title);
        }
        // Both events with their letters, at the times the ffmpeg tool gives them in the same
        // conversion (a muxer moves every stream by the audio encoder's delay).
        const fs::path oracleOutput = folder.Path() / ("oracle " + outputs[i].filename().string());
        const std::string command = OracleCommand(inputs[i], oracleOutput, JobFor(c.key), ours[i],
                                                  "-c:s " + track->Field("codec_name"));
        ASSERT_TRUE(RunCommand(command)) << command;
        const std::vector<SubtitleEvent> expected = SubtitleEvents(oracleOutput);
        const std::vector<SubtitleEvent> events = SubtitleEvents(outputs[i]);
        ASSERT_EQ(expected.size(), 2u) << command;
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[0].text, "Hallo Welt – ä");
        EXPECT_EQ(events[1].text, "Zweite Zeile");
        for (std::size_t e = 0; e < events.size(); ++e) {
            EXPECT_NEAR(events[e].start, expected[e].start, 0.002) << command;
            EXPECT_NEAR(events[e].end, expected[e].end, 0.002) << command;
            EXPECT_NEAR(events[e].end - events[e].start, e == 0 ? 0.4 : 0.3, 0.002);
        }
    }
}

}  // namespace
}  // namespace ostrel::engine::testing
