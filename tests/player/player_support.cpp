#include "player_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "engine_fixture.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/display.h>
}

namespace ostrel::engine::testing {
namespace {

namespace fs = std::filesystem;

PlayerClips Paths(const fs::path& folder) {
    PlayerClips clips;
    clips.folder = folder;
    clips.h264Aac = folder / "h264-aac.mp4";
    clips.mpeg4Mp3 = folder / "mpeg4-mp3.avi";
    clips.portrait = folder / "portrait.mp4";
    clips.audioOnly = folder / "audio.wav";
    clips.videoOnly = folder / "video.mp4";
    clips.long905 = folder / "long.mp4";
    clips.truncated = folder / "truncated.mp4";
    clips.mirrored = folder / "mirrored.mp4";
    clips.hevc10Aac = folder / "hevc10-aac.mp4";
    clips.av1Opus = folder / "av1-opus.webm";
    clips.vp9Opus = folder / "vp9-opus.webm";
    clips.alac = folder / "alac.m4a";
    clips.coverMp3 = folder / "cover.mp3";
    clips.besideMp3 = folder / "album" / "song.mp3";
    clips.coverImage = folder / "cover-source.jpg";
    clips.soundSilence = folder / "sound-silence.wav";
    clips.subtitled = folder / "subtitled.mkv";
    return clips;
}

// Copies the one stream of from into to, the stream given a display matrix that mirrors its
// pictures left to right: the ffmpeg tool of this version cannot write such a matrix.
void RemuxMirrored(const fs::path& from, const fs::path& to) {
    AVFormatContext* input = nullptr;
    if (avformat_open_input(&input, from.c_str(), nullptr, nullptr) < 0 ||
        avformat_find_stream_info(input, nullptr) < 0) {
        std::fprintf(stderr, "cannot read %s\n", from.c_str());
        std::abort();
    }
    AVFormatContext* output = nullptr;
    avformat_alloc_output_context2(&output, nullptr, nullptr, to.c_str());
    AVStream* stream = avformat_new_stream(output, nullptr);
    avcodec_parameters_copy(stream->codecpar, input->streams[0]->codecpar);
    stream->codecpar->codec_tag = 0;
    stream->time_base = input->streams[0]->time_base;
    auto* matrix = reinterpret_cast<std::int32_t*>(
        av_stream_new_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(std::int32_t)));
    av_display_rotation_set(matrix, 0.0);
    av_display_matrix_flip(matrix, 1, 0);
    if (avio_open(&output->pb, to.c_str(), AVIO_FLAG_WRITE) < 0 ||
        avformat_write_header(output, nullptr) < 0) {
        std::fprintf(stderr, "cannot write %s\n", to.c_str());
        std::abort();
    }
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(input, packet) >= 0) {
        av_packet_rescale_ts(packet, input->streams[0]->time_base, stream->time_base);
        packet->stream_index = 0;
        av_interleaved_write_frame(output, packet);
    }
    av_packet_free(&packet);
    av_write_trailer(output);
    avio_closep(&output->pb);
    avformat_free_context(output);
    avformat_close_input(&input);
}

void Generate(const PlayerClips& clips) {
    const std::string ffmpeg = "ffmpeg -nostdin -v error -y ";
    const std::string sine = " -f lavfi -i sine=frequency=440:sample_rate=44100:duration=";
    MustRun(ffmpeg + "-f lavfi -i testsrc2=size=320x240:rate=25:duration=3" + sine +
            "3 -ac 2 -c:v libx264 -preset superfast -bf 2 -g 50 -pix_fmt yuv420p -c:a aac "
            "-shortest -movflags +faststart " +
            Quote(clips.h264Aac));
    MustRun(ffmpeg + "-f lavfi -i testsrc2=size=320x240:rate=25:duration=2" + sine +
            "2 -ac 2 -c:v mpeg4 -q:v 4 -c:a libmp3lame -shortest " + Quote(clips.mpeg4Mp3));
    const fs::path landscape = clips.folder / "landscape.mp4";
    MustRun(ffmpeg +
            "-f lavfi -i testsrc2=size=320x240:rate=25:duration=1 -c:v libx264 "
            "-preset ultrafast -pix_fmt yuv420p " +
            Quote(landscape));
    MustRun(ffmpeg + "-i " + Quote(landscape) + " -c copy -metadata:s:v rotate=90 " +
            Quote(clips.portrait));
    MustRun(ffmpeg + "-f lavfi -i sine=frequency=330:sample_rate=44100:duration=1.5 -ac 2 " +
            Quote(clips.audioOnly));
    MustRun(ffmpeg +
            "-f lavfi -i testsrc2=size=160x120:rate=25:duration=1.5 -c:v libx264 "
            "-preset ultrafast -pix_fmt yuv420p " +
            Quote(clips.videoOnly));
    MustRun(ffmpeg +
            "-f lavfi -i testsrc2=size=96x72:rate=10:duration=90.5 -f lavfi -i "
            "sine=frequency=440:sample_rate=22050:duration=90.5 -ac 1 -c:v libx264 -preset "
            "ultrafast -pix_fmt yuv420p -c:a aac -b:a 32k -shortest " +
            Quote(clips.long905));
    const fs::path unmirrored = clips.folder / "unmirrored.mp4";
    MustRun(ffmpeg +
            "-f lavfi -i color=c=black:size=160x120:rate=25:duration=0.4,"
            "drawbox=x=0:y=0:w=80:h=60:color=red:t=fill -c:v libx264 -preset ultrafast "
            "-pix_fmt yuv420p " +
            Quote(unmirrored));
    RemuxMirrored(unmirrored, clips.mirrored);
    const std::string newer =
        "-f lavfi -i testsrc2=size=320x240:rate=25:duration=1.5" + sine + "1.5 -ac 2 -shortest ";
    MustRun(ffmpeg + newer +
            "-c:v libx265 -preset ultrafast -pix_fmt yuv420p10le -tag:v hvc1 -x265-params "
            "log-level=error -c:a aac " +
            Quote(clips.hevc10Aac));
    MustRun("SVT_LOG=1 " + ffmpeg + newer + "-c:v libsvtav1 -preset 12 -c:a libopus " +
            Quote(clips.av1Opus));
    MustRun(ffmpeg + newer + "-c:v libvpx-vp9 -deadline realtime -cpu-used 8 -c:a libopus " +
            Quote(clips.vp9Opus));
    MustRun(ffmpeg +
            "-f lavfi -i sine=frequency=330:sample_rate=44100:duration=1.5 -ac 2 "
            "-c:a alac " +
            Quote(clips.alac));
    MustRun(ffmpeg + "-f lavfi -i testsrc2=size=160x120 -frames:v 1 -q:v 3 " +
            Quote(clips.coverImage));
    const std::string song = "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=1.5 ";
    MustRun(ffmpeg + song + "-i " + Quote(clips.coverImage) +
            " -map 0 -map 1 -c:a libmp3lame -c:v copy -disposition:v attached_pic " +
            Quote(clips.coverMp3));
    fs::create_directories(clips.besideMp3.parent_path());
    MustRun(ffmpeg + song + "-c:a libmp3lame " + Quote(clips.besideMp3));
    fs::copy_file(clips.coverImage, clips.besideMp3.parent_path() / "cover.jpg");
    MustRun(ffmpeg +
            "-f lavfi -i 'aevalsrc=if(lt(t\\,0.8)\\,0.8*sin(2*PI*440*t)\\,0):s=44100:d=1.8' "
            "-ac 2 " +
            Quote(clips.soundSilence));
    const fs::path cues = clips.folder / "cues.srt";
    std::ofstream(cues) << "1\n00:00:01,000 --> 00:00:02,000\nHello subtitles\n\n";
    MustRun(ffmpeg + "-f lavfi -i testsrc2=size=320x240:rate=25:duration=3 -i " + Quote(cues) +
            " -c:v libx264 -preset ultrafast -g 25 -pix_fmt yuv420p -c:s srt " +
            Quote(clips.subtitled));
    std::ifstream whole(clips.h264Aac, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(whole)),
                            std::istreambuf_iterator<char>());
    std::ofstream cut(clips.truncated, std::ios::binary);
    cut.write(bytes.data(), static_cast<std::streamsize>(bytes.size() / 2));
}

}  // namespace

const PlayerClips& Clips() {
    static const PlayerClips clips = [] {
        fs::path folder;
        bool temporary = false;
        if (const char* shared = std::getenv("OSTREL_PLAYER_MEDIA_DIR"); shared && *shared) {
            folder = shared;
        } else {
            folder = fs::temp_directory_path() /
                     ("ostrel-player-media-" + std::to_string(static_cast<long>(getpid())));
            temporary = true;
        }
        if (!fs::exists(folder / "ready")) {
            // Made beside the target and renamed into place: parallel runs never see half a set.
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
    return clips;
}

void UseDiskAudio(const fs::path& file) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
}

void UseNoAudioDevice() {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
}

void RecordingSurface::PresentFrame(std::shared_ptr<const VideoFrame> frame) {
    if (std::this_thread::get_id() != hostThread) {
        wrongThread = true;
    }
    shown.push_back({std::move(frame), std::chrono::steady_clock::now()});
}

PlayerHost::PlayerHost() {
    player->SetEventPoster([this](std::function<void()> event) {
        ++posted;
        queue.Post(std::move(event));
    });
    const std::thread::id host = std::this_thread::get_id();
    auto check = [this, host] {
        if (std::this_thread::get_id() != host) {
            wrongThread = true;
        }
    };
    PlayerEvents events;
    events.DurationKnown = [this, check](std::int64_t duration, int, int, int, int) {
        check();
        durationUs = duration;
        ++durationEvents;
    };
    events.PositionChanged = [this, check](std::int64_t position) {
        check();
        if (durationEvents == 0) {
            positionBeforeDuration = true;
        }
        positions.push_back(position);
    };
    events.StateChanged = [this, check](int state) {
        check();
        states.push_back(state);
    };
    player->SetEvents(std::move(events));
}

PlayerHost::~PlayerHost() {
    player.reset();
}

bool PlayerHost::Open(const fs::path& path) {
    return player->OpenMedia(path.string(), &surface, false);
}

bool PlayerHost::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    return queue.RunUntil(done, timeout);
}

void PlayerHost::RunFor(std::chrono::milliseconds time) {
    const auto end = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < end) {
        queue.RunPending(std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now()));
    }
}

int PlayerHost::Count(int state) const {
    int count = 0;
    for (int s : states) {
        count += s == state ? 1 : 0;
    }
    return count;
}

void PlayerHost::Seek(std::int64_t positionUs) {
    const auto bits = static_cast<std::uint64_t>(positionUs);
    player->Seek(static_cast<std::int32_t>(static_cast<std::uint32_t>(bits & 0xFFFFFFFFu)),
                 static_cast<std::int32_t>(bits >> 32), 0, false);
}

std::uint64_t Checksum(const std::vector<std::uint8_t>& bytes) {
    std::uint64_t hash = 1469598103934665603ull;
    for (std::uint8_t byte : bytes) {
        hash = (hash ^ byte) * 1099511628211ull;
    }
    return hash;
}

std::uint64_t Checksum(const VideoFrame& frame) {
    std::vector<std::uint8_t> rows;
    rows.reserve(static_cast<std::size_t>(frame.width) * frame.height * 4);
    for (int y = 0; y < frame.height; ++y) {
        const auto* row = frame.pixels.data() + static_cast<std::size_t>(y) * frame.stride;
        rows.insert(rows.end(), row, row + static_cast<std::size_t>(frame.width) * 4);
    }
    return Checksum(rows);
}

namespace {

std::vector<std::uint8_t> Output(const std::string& command);

}  // namespace

std::vector<std::uint8_t> FfmpegFrameAt(const fs::path& clip, double seconds,
                                        const std::string& filter) {
    char time[32];
    std::snprintf(time, sizeof(time), "%.6f", seconds);
    return Output("ffmpeg -nostdin -v error -i " + Quote(clip) + " -ss " + time +
                  (filter.empty() ? std::string() : " -vf " + Quote(filter)) +
                  " -frames:v 1 -pix_fmt bgra -f rawvideo -");
}

std::vector<std::uint8_t> FfmpegImage(const fs::path& image) {
    return Output("ffmpeg -nostdin -v error -i " + Quote(image) +
                  " -frames:v 1 -pix_fmt bgra -f rawvideo -");
}

namespace {

std::vector<std::uint8_t> Output(const std::string& command) {
    std::vector<std::uint8_t> bytes;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return bytes;
    }
    std::uint8_t buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    if (pclose(pipe) != 0) {
        bytes.clear();
    }
    return bytes;
}

}  // namespace

int ThreadCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/task")) {
        ++count;
    }
    return count;
}

}  // namespace ostrel::engine::testing
