#include "engine_fixture.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace ostrel::engine::testing {

namespace fs = std::filesystem;

std::string Quote(const fs::path& path) {
    return "'" + path.string() + "'";
}

void MustRun(const std::string& command) {
    if (!RunCommand(command)) {
        std::fprintf(stderr, "fixture command failed: %s\n", command.c_str());
        std::abort();
    }
}

namespace {

Media Paths(const fs::path& folder) {
    Media media;
    media.folder = folder;
    media.videoWithAudio = folder / "av.mp4";
    media.video30 = folder / "av30.mp4";
    media.videoOnly = folder / "video.mp4";
    media.audioOnly = folder / "audio.wav";
    media.oddSize = folder / "odd.mkv";
    media.portrait = folder / "portrait.mp4";
    media.coverArtMp3 = folder / "cover.mp3";
    media.changing = folder / "changing.ts";
    media.corrupt = folder / "corrupt.mp4";
    media.truncated = folder / "truncated.mp4";
    media.taggedMkv = folder / "tagged – Grüße.mkv";
    media.taggedMp4 = folder / "phone – Köln.mp4";
    media.taggedMp3 = folder / "Dvořák – Lied.mp3";
    media.taggedM4a = folder / "Åsa – Lied.m4a";
    media.taggedFlac = folder / "Zoë – Lied.flac";
    media.cutAvi = folder / "cut.avi";
    media.cutWav = folder / "cut.wav";
    media.fps15 = folder / "fps15.mp4";
    media.fps5 = folder / "fps5.mp4";
    media.fps90 = folder / "fps90.mp4";
    media.unequalMkv = folder / "unequal.mkv";
    media.slowMkv = folder / "slow.mkv";
    media.zeroTailMp3 = folder / "zerotail.mp3";
    media.zeroPts = folder / "zeropts.mp4";
    media.emptyFirstAudio = folder / "emptyfirst.ts";
    media.threeVideoWmv = folder / "three.wmv";
    media.longPreSkipOpus = folder / "preskip.opus";
    media.lateMp4 = folder / "late.mp4";
    for (int i = 0; i < 8; ++i) {
        media.orientations.push_back(folder / ("orientation" + std::to_string(i) + ".mp4"));
    }
    return media;
}

// The tagged clips: container tags, two chapters and a subtitle track in a file each, from an
// FFMETADATA file and an SRT file written here.
void GenerateTagged(const Media& media, const std::string& ffmpeg) {
    const fs::path tags = media.folder / "tags.txt";
    {
        std::ofstream out(tags);
        out << ";FFMETADATA1\n";
        for (const auto& [key, value] : kFixtureTags) {
            out << key << "=" << value << "\n";
        }
        out << "encoder=Old Tool 1.0\n"
               "[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=500\ntitle=Erstes Kapitel\n"
               "[CHAPTER]\nTIMEBASE=1/1000\nSTART=500\nEND=1000\ntitle=Zweites – Kapitel\n";
    }
    const fs::path subtitles = media.folder / "lines.srt";
    std::ofstream(subtitles) << "1\n00:00:00,100 --> 00:00:00,500\nHallo Welt – ä\n\n"
                                "2\n00:00:00,600 --> 00:00:00,900\nZweite Zeile\n";
    const std::string sources =
        "-f lavfi -i testsrc2=size=160x120:rate=25:duration=1 -f lavfi -i "
        "sine=frequency=440:sample_rate=44100:duration=1 -i " +
        Quote(subtitles) + " -i " + Quote(tags) +
        " -map 0:v -map 1:a -map 2:s -map_metadata 3 -map_chapters 3 -ac 2 -c:v libx264 -preset "
        "ultrafast -pix_fmt yuv420p -c:a aac -metadata:s:v language=eng -metadata:s:a "
        "language=ger -metadata:s:a \"title=Stereo – Deutsch\" -metadata:s:s language=fre "
        "-metadata:s:s title=Français -metadata creation_time=2020-05-17T10:20:30.000000Z ";
    MustRun(ffmpeg + sources + "-c:s srt " + Quote(media.taggedMkv));
    MustRun(ffmpeg + sources + "-c:s mov_text -metadata location=+48.8577+002.2950/ " +
            Quote(media.taggedMp4));
    const std::string audio =
        "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=1 -f lavfi -i "
        "testsrc2=size=64x48:rate=1:duration=1 -i " +
        Quote(tags) +
        " -map 0:a -map 1:v -map_metadata 2 -ac 2 -frames:v 1 -disposition:v attached_pic ";
    MustRun(ffmpeg + audio + "-c:a libmp3lame -c:v gif -id3v2_version 3 " + Quote(media.taggedMp3));
    MustRun(ffmpeg + audio + "-c:a aac -c:v png " + Quote(media.taggedM4a));
    MustRun(ffmpeg + audio + "-c:a flac -c:v png " + Quote(media.taggedFlac));
}

void GenerateRealWorldCases(const Media& media);

void Generate(const Media& media) {
    const std::string ffmpeg = "ffmpeg -nostdin -v error -y ";
    const std::string sine = " -f lavfi -i sine=frequency=440:sample_rate=44100:duration=";
    MustRun(ffmpeg + "-f lavfi -i testsrc2=size=320x240:rate=25:duration=2" + sine +
            "2 -ac 2 -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -shortest "
            "-movflags +faststart " +
            Quote(media.videoWithAudio));
    MustRun(ffmpeg + "-f lavfi -i testsrc2=size=160x120:rate=30:duration=1" + sine +
            "1 -ac 2 -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -shortest " +
            Quote(media.video30));
    MustRun(ffmpeg +
            "-f lavfi -i testsrc2=size=160x120:rate=25:duration=1 -c:v libx264 "
            "-preset ultrafast -pix_fmt yuv420p " +
            Quote(media.videoOnly));
    MustRun(ffmpeg + "-f lavfi -i sine=frequency=330:sample_rate=44100:duration=2 -ac 2 " +
            Quote(media.audioOnly));
    MustRun(ffmpeg + "-f lavfi -i testsrc=size=321x241:rate=25:duration=1" + sine +
            "1 -ac 2 -c:v ffv1 -c:a pcm_s16le -shortest " + Quote(media.oddSize));
    const fs::path landscape = media.folder / "landscape.mp4";
    MustRun(ffmpeg +
            "-f lavfi -i testsrc2=size=320x240:rate=25:duration=1 -c:v libx264 "
            "-preset ultrafast -pix_fmt yuv420p " +
            Quote(landscape));
    MustRun(ffmpeg + "-i " + Quote(landscape) + " -c copy -metadata:s:v rotate=90 " +
            Quote(media.portrait));
    MustRun(ffmpeg +
            "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 -f lavfi -i "
            "testsrc2=size=64x64:rate=1:duration=1 -map 0:a -map 1:v -ac 2 -c:a libmp3lame "
            "-c:v mjpeg -frames:v 1 -disposition:v attached_pic -id3v2_version 3 " +
            Quote(media.coverArtMp3));
    // Two MPEG-TS pieces one after the other: picture size and audio format change midway.
    const fs::path first = media.folder / "first.ts";
    const fs::path second = media.folder / "second.ts";
    MustRun(ffmpeg +
            "-f lavfi -i testsrc2=size=320x240:rate=25:duration=1 -f lavfi -i "
            "sine=sample_rate=44100:duration=1 -ac 1 -c:v mpeg2video -c:a mp2 " +
            Quote(first));
    MustRun(ffmpeg +
            "-f lavfi -i testsrc2=size=160x120:rate=25:duration=1 -f lavfi -i "
            "sine=sample_rate=48000:duration=1 -ac 2 -c:v mpeg2video -c:a mp2 "
            "-output_ts_offset 1 " +
            Quote(second));
    MustRun("cat " + Quote(first) + " " + Quote(second) + " > " + Quote(media.changing));
    {
        std::mt19937 random(1234);
        std::ofstream corrupt(media.corrupt, std::ios::binary);
        for (int i = 0; i < 8192; ++i) {
            corrupt.put(static_cast<char>(random() & 0xFF));
        }
    }
    {
        // The header (moved to the front) survives; half the media data is gone.
        std::ifstream whole(media.videoWithAudio, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(whole)),
                          std::istreambuf_iterator<char>());
        std::ofstream cut(media.truncated, std::ios::binary);
        cut.write(bytes.data(), static_cast<std::streamsize>(bytes.size() / 2));
    }
    GenerateTagged(media, ffmpeg);
    GenerateRealWorldCases(media);
}

// Keeps the first tenth of a file.
void CutToATenth(const fs::path& whole, const fs::path& cut) {
    std::ifstream in(whole, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(cut, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size() / 10));
}

// Sets the pre-skip of an Ogg Opus file's header to its largest value (65535 samples, 1.37 s),
// as an encoder with a long delay writes it, and seals the header's page anew.
void SetLongestPreSkip(const fs::path& file) {
    std::fstream io(file, std::ios::binary | std::ios::in | std::ios::out);
    std::string bytes((std::istreambuf_iterator<char>(io)), std::istreambuf_iterator<char>());
    const std::size_t segments = static_cast<unsigned char>(bytes.at(26));
    const std::size_t body = 27 + segments;
    if (bytes.compare(body, 8, "OpusHead") != 0) {
        std::abort();
    }
    bytes[body + 10] = '\xff';
    bytes[body + 11] = '\xff';
    std::size_t pageEnd = body;
    for (std::size_t i = 0; i < segments; ++i) {
        pageEnd += static_cast<unsigned char>(bytes[27 + i]);
    }
    bytes.replace(22, 4, 4, '\0');
    std::uint32_t crc = 0;  // Ogg's CRC-32: polynomial 0x04c11db7, unreflected, no final xor
    for (std::size_t i = 0; i < pageEnd; ++i) {
        crc ^= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 24;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x80000000U) != 0 ? (crc << 1) ^ 0x04c11db7U : crc << 1;
        }
    }
    for (int b = 0; b < 4; ++b) {
        bytes[22 + static_cast<std::size_t>(b)] = static_cast<char>((crc >> (8 * b)) & 0xFF);
    }
    io.seekp(0);
    io.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Writes a display matrix into the first track header of an MP4 (its tkhd box, version 0).
void SetTrackMatrix(const fs::path& file, const int (&abcd)[4]) {
    std::fstream io(file, std::ios::binary | std::ios::in | std::ios::out);
    std::string bytes((std::istreambuf_iterator<char>(io)), std::istreambuf_iterator<char>());
    const std::size_t box = bytes.find("tkhd");
    if (box == std::string::npos) {
        std::abort();
    }
    // size(4) "tkhd" version+flags(4) times, track, reserved, duration(20) reserved(8)
    // layer, group, volume, reserved(8): the nine matrix entries follow.
    const std::size_t matrix = box - 4 + 48;
    const std::int32_t values[9] = {
        abcd[0] * 65536, abcd[1] * 65536, 0, abcd[2] * 65536, abcd[3] * 65536, 0, 0, 0, 1 << 30};
    for (int i = 0; i < 9; ++i) {
        const auto value = static_cast<std::uint32_t>(values[i]);
        for (int b = 0; b < 4; ++b) {
            bytes[matrix + static_cast<std::size_t>(i * 4 + b)] =
                static_cast<char>((value >> (24 - 8 * b)) & 0xFF);
        }
    }
    io.seekp(0);
    io.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void GenerateRealWorldCases(const Media& media) {
    const std::string ffmpeg = "ffmpeg -nostdin -v error -y ";
    const fs::path wholeAvi = media.folder / "whole.avi";
    MustRun(ffmpeg +
            "-f lavfi -i testsrc2=size=160x120:rate=25:duration=20 -f lavfi -i "
            "sine=duration=20 -c:v mpeg4 -q:v 10 -c:a libmp3lame -ab 32k " +
            Quote(wholeAvi));
    CutToATenth(wholeAvi, media.cutAvi);
    const fs::path wholeWav = media.folder / "whole.wav";
    MustRun(ffmpeg + "-f lavfi -i sine=sample_rate=8000:duration=20 " + Quote(wholeWav));
    CutToATenth(wholeWav, media.cutWav);
    const std::string x264 = " -c:v libx264 -preset ultrafast -pix_fmt yuv420p ";
    MustRun(ffmpeg + "-f lavfi -i testsrc2=size=160x120:rate=15:duration=1" + x264 +
            Quote(media.fps15));
    MustRun(ffmpeg + "-f lavfi -i testsrc2=size=160x120:rate=5:duration=2" + x264 +
            Quote(media.fps5));
    MustRun(ffmpeg + "-f lavfi -i testsrc2=size=160x120:rate=90 -frames:v 5" + x264 +
            Quote(media.fps90));
    const fs::path subtitle = media.folder / "late.srt";
    std::ofstream(subtitle) << "1\n00:00:00,500 --> 00:00:04,000\nThe end comes late\n\n";
    MustRun(ffmpeg +
            "-f lavfi -i testsrc2=size=160x120:rate=25:duration=1 -f lavfi -i "
            "sine=duration=2 -i " +
            Quote(subtitle) +
            " -map 0 -map 1 -map 2 -c:v libx264 -preset ultrafast -c:a libvorbis -c:s srt " +
            Quote(media.unequalMkv));
    MustRun(ffmpeg + "-f lavfi -i testsrc2=size=160x120:rate=1:duration=10 -c:v mpeg4 " +
            Quote(media.slowMkv));
    MustRun(ffmpeg + "-f lavfi -i sine=duration=2 -c:a libmp3lame -ab 64k " +
            Quote(media.zeroTailMp3));
    fs::resize_file(media.zeroTailMp3, std::uintmax_t{1} << 30);
    MustRun(ffmpeg + "-f lavfi -i testsrc2=size=160x120:rate=25:duration=1" + x264 +
            "-bsf:v setts=pts=0:dts=0 " + Quote(media.zeroPts));
    MustRun(ffmpeg +
            "-f lavfi -i testsrc2=size=160x120:rate=25:duration=2 -f lavfi -i "
            "sine=duration=2 -f lavfi -i sine=duration=2:frequency=300 -map 0:v -map 1:a "
            "-map 2:a -frames:a:0 0 -c:v mpeg2video -c:a mp2 " +
            Quote(media.emptyFirstAudio));
    const std::string frame = "-f lavfi -i testsrc2=size=160x120:rate=25:duration=0.04 ";
    MustRun(ffmpeg + frame + frame +
            "-f lavfi -i testsrc2=size=160x120:rate=25:duration=2 -map 0:v -map 1:v -map 2:v "
            "-c:v wmv2 " +
            Quote(media.threeVideoWmv));
    MustRun(ffmpeg + "-f lavfi -i sine=duration=3 -c:a libopus " + Quote(media.longPreSkipOpus));
    SetLongestPreSkip(media.longPreSkipOpus);
    MustRun(ffmpeg + "-itsoffset 2 -i " + Quote(media.fps15) + " -c copy " + Quote(media.lateMp4));
    const fs::path quadrants = media.folder / "quadrants.mp4";
    MustRun(ffmpeg +
            "-f lavfi -i nullsrc=size=64x32:rate=25:duration=1 -vf "
            "\"geq=lum='if(lt(Y,H/2),if(lt(X,W/2),30,90),if(lt(X,W/2),150,220))':cb=128:cr=128,"
            "format=yuv420p\" -c:v libx264 -preset ultrafast -qp 0 " +
            Quote(quadrants));
    for (int i = 0; i < 8; ++i) {
        fs::copy_file(quadrants, media.orientations[static_cast<std::size_t>(i)]);
        SetTrackMatrix(media.orientations[static_cast<std::size_t>(i)], kOrientations[i]);
    }
}

}  // namespace

const std::vector<std::pair<std::string, std::string>> kFixtureTags = {
    {"title", "Grüße aus Köln"},
    {"artist", "Zoë Ångström"},
    {"album_artist", "Åsa"},
    {"album", "Ünïcödé 日本"},
    {"track", "3/12"},
    {"disc", "1/2"},
    {"date", "2021"},
    {"genre", "Klassik"},
    {"composer", "Dvořák"},
    {"comment", "Ça va ?"},
    {"copyright", "© 2021 Ostrel"},
};

// Every outside tool gets a deadline: one that hangs (a reader stuck on a file, a registry
// being rebuilt beside another test) fails its test with the command named instead of holding
// the whole run until the test runner's own limit.
bool RunCommand(const std::string& command) {
    std::string quoted = "'";
    for (const char c : command) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    quoted += "'";
    const int status = std::system(("timeout -k 10 180 sh -c " + quoted).c_str());
    if (status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 124) {
        std::fprintf(stderr, "command timed out after 180 s: %s\n", command.c_str());
    }
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

const Media& TestMedia() {
    static const Media media = [] {
        fs::path folder;
        bool temporary = false;
        if (const char* shared = std::getenv("OSTREL_TEST_MEDIA_DIR"); shared && *shared) {
            folder = shared;
        } else {
            folder = fs::temp_directory_path() /
                     ("ostrel-engine-media-" + std::to_string(static_cast<long>(getpid())));
            temporary = true;
        }
        if (!fs::exists(folder / "ready")) {
            // Built beside the target and renamed into place, so parallel runs never see a
            // half-made set.
            const fs::path building =
                folder.string() + ".building-" + std::to_string(static_cast<long>(getpid()));
            fs::remove_all(building);
            fs::create_directories(building);
            Generate(Paths(building));
            std::ofstream(building / "ready") << "ok\n";
            std::error_code code;
            fs::create_directories(folder.parent_path(), code);
            fs::rename(building, folder, code);
            if (code) {
                fs::remove_all(building, code);
            }
        }
        if (temporary) {
            static const fs::path toRemove = folder;
            std::atexit([] {
                std::error_code code;
                fs::remove_all(toRemove, code);
            });
        }
        return Paths(folder);
    }();
    return media;
}

TempFolder::TempFolder() {
    static int counter = 0;
    path_ = fs::temp_directory_path() /
            ("ostrel-engine-out-" + std::to_string(static_cast<long>(getpid())) + "-" +
             std::to_string(counter++));
    fs::remove_all(path_);
    fs::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code code;
    fs::remove_all(path_, code);
}

std::vector<std::string> TempFolder::FileNames() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

const std::map<std::string, std::string>* ProbeResult::Stream(const std::string& type) const {
    for (const auto& stream : streams) {
        const auto found = stream.find("codec_type");
        if (found != stream.end() && found->second == type) {
            return &stream;
        }
    }
    return nullptr;
}

int ProbeResult::Count(const std::string& type) const {
    int count = 0;
    for (const auto& stream : streams) {
        const auto found = stream.find("codec_type");
        count += found != stream.end() && found->second == type ? 1 : 0;
    }
    return count;
}

ProbeResult Probe(const fs::path& file) {
    ProbeResult result;
    const std::string command =
        "ffprobe -v error -show_entries "
        "stream=codec_type,codec_name,width,height,sample_rate,channels,avg_frame_rate,"
        "sample_aspect_ratio,display_aspect_ratio,pix_fmt:"
        "stream_disposition=attached_pic:format=format_name,duration -of compact " +
        Quote(file) + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    std::string output;
    char buffer[4096];
    while (std::fgets(buffer, sizeof(buffer), pipe) != nullptr) {
        output += buffer;
    }
    const int status = pclose(pipe);
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::map<std::string, std::string> fields;
        std::istringstream parts(line);
        std::string section;
        std::getline(parts, section, '|');
        std::string part;
        while (std::getline(parts, part, '|')) {
            const auto equals = part.find('=');
            if (equals != std::string::npos) {
                fields[part.substr(0, equals)] = part.substr(equals + 1);
            }
        }
        if (section == "stream") {
            if (fields["disposition:attached_pic"] == "1") {
                fields["codec_type"] = "attached_pic";
            }
            result.streams.push_back(fields);
        } else if (section == "format") {
            result.formatName = fields["format_name"];
            const std::string duration = fields["duration"];
            if (!duration.empty() && duration != "N/A") {
                result.durationSeconds = std::stod(duration);
            }
        }
    }
    return result;
}

EncoderEvents EventLog::Handlers() {
    EncoderEvents events;
    events.TaskProgress = [this](int task, std::int64_t positionUs, std::int64_t durationUs) {
        wrongThread = wrongThread || std::this_thread::get_id() != testThread;
        progress.push_back({task, positionUs, durationUs});
    };
    events.TaskFinished = [this](int task, TaskOutcome outcome, const std::string& text) {
        wrongThread = wrongThread || std::this_thread::get_id() != testThread;
        if (task < 0) {
            ++queueEnds;
        } else {
            const bool success = outcome == TaskOutcome::Succeeded;
            finished.push_back({task, outcome, success, !success, text});
        }
    };
    events.OutputWritten = [this](int task, const std::string& path) {
        wrongThread = wrongThread || std::this_thread::get_id() != testThread;
        written[task] = path;
    };
    events.StreamsCopied = [this](int task, int copiedStreams) {
        wrongThread = wrongThread || std::this_thread::get_id() != testThread;
        copied[task] = copiedStreams;
    };
    return events;
}

QueueRun::QueueRun() {
    encoder->SetEventPoster([this](std::function<void()> event) {
        ++posted;
        queue.Post(std::move(event));
    });
    encoder->SetEvents(log.Handlers());
}

int QueueRun::Add(const fs::path& input, const fs::path& output, const std::string& options) {
    const int handle = encoder->OpenInput(input.string(), "");
    if (handle < 0) {
        return handle;
    }
    const int task = encoder->AddOutput(handle, output.string(), options);
    if (task < 0) {
        encoder->CloseInput(handle);
    }
    return task;
}

bool QueueRun::RunToEnd(int threads, std::chrono::milliseconds timeout) {
    if (encoder->StartTasks(threads) < 0) {
        return false;
    }
    return queue.RunUntil([this] { return log.queueEnds > 0; }, timeout);
}

const FinishedEvent* QueueRun::Finished(int task) const {
    for (const FinishedEvent& event : log.finished) {
        if (event.task == task) {
            return &event;
        }
    }
    return nullptr;
}

ProbeResult ConvertOne(const fs::path& input, const fs::path& output, const std::string& options,
                       int threads) {
    QueueRun run;
    const int task = run.Add(input, output, options);
    EXPECT_GE(task, 0) << options << ": " << run.encoder->LastError();
    if (task < 0) {
        return {};
    }
    EXPECT_TRUE(run.RunToEnd(threads)) << options;
    const FinishedEvent* finished = run.Finished(task);
    EXPECT_NE(finished, nullptr) << options;
    if (finished != nullptr) {
        EXPECT_TRUE(finished->success) << options << ": " << finished->text;
        EXPECT_FALSE(finished->failure) << options;
    }
    EXPECT_EQ(run.log.queueEnds, 1);
    EXPECT_FALSE(run.log.wrongThread);
    return Probe(output);
}

}  // namespace ostrel::engine::testing
