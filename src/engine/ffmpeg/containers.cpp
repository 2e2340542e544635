// The containers the engine writes: the muxer and default encoders for each output extension.
#include "engine/ffmpeg/job.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <iterator>
#include <string_view>

namespace ostrel::engine::ff {
namespace {

// Default encoders per container; an empty video entry marks an audio-only container.
struct ContainerRow {
    std::string_view extension;
    const char* muxer;
    const char* video;
    const char* audio;
};

const ContainerRow kContainers[] = {
    {"3gp", "3gp", "h263", "amr_nb"},
    {"asf", "asf", "msmpeg4v2", "wmav2"},
    {"wmv", "asf", "wmv2", "wmav2"},
    {"avi", "avi", "libxvid", "libmp3lame"},
    {"f4v", "flv", "libx264", "aac"},
    {"flv", "flv", "flv", "libmp3lame"},
    {"swf", "swf", "flv", "libmp3lame"},
    {"mkv", "matroska", "libx264", "libmp3lame"},
    {"mov", "mov", "mpeg4", "aac"},
    {"mp4", "mp4", "mpeg4", "aac"},
    {"mpg", "mpeg", "mpeg1video", "mp2"},
    {"mpeg", "mpeg", "mpeg1video", "mp2"},
    {"rm", "rm", "rv20", "ac3"},
    {"vob", "dvd", "mpeg2video", "ac3"},
    {"webm", "webm", "libvpx", "libvorbis"},
    {"aac", "adts", "", "aac"},
    {"ac3", "ac3", "", "ac3"},
    {"aiff", "aiff", "", "pcm_s16be"},
    {"flac", "flac", "", "flac"},
    {"m4a", "ipod", "", "aac"},
    {"mp2", "mp2", "", "mp2"},
    {"mp3", "mp3", "", "libmp3lame"},
    {"ogg", "ogg", "", "libvorbis"},
    {"ra", "rm", "", "ac3"},
    {"wav", "wav", "", "pcm_s16le"},
    {"wma", "asf", "", "wmav2"},
    {"opus", "opus", "", "libopus"},
    {"m4v", "mp4", "mpeg4", "aac"},
    {"ts", "mpegts", "mpeg2video", "mp2"},
};

ContainerInfo FromRow(const ContainerRow& row) {
    ContainerInfo info;
    info.muxer = row.muxer;
    info.videoCodec = row.video;
    info.audioCodec = ResolveEncoderName(row.audio);
    info.audioOnly = info.videoCodec.empty();
    return info;
}

// A muxer we have no row for: libavformat's default encoders, where they are built in.
ContainerInfo FromFormat(const AVOutputFormat& format) {
    const AVCodec* video = avcodec_find_encoder(format.video_codec);
    const AVCodec* audio = avcodec_find_encoder(format.audio_codec);
    ContainerInfo info;
    info.muxer = format.name;
    info.videoCodec = video != nullptr ? video->name : "";
    info.audioCodec = audio != nullptr ? audio->name : "";
    info.audioOnly = info.videoCodec.empty();
    return info;
}

}  // namespace

std::optional<ContainerInfo> ContainerForOutput(const std::string& extension,
                                                const std::string& muxerOverride) {
    const std::string ext = Lower(extension);
    const auto row =
        std::find_if(std::begin(kContainers), std::end(kContainers),
                     [&](const ContainerRow& entry) { return ext == entry.extension; });
    const AVOutputFormat* format = nullptr;
    if (!muxerOverride.empty()) {
        format = av_guess_format(muxerOverride.c_str(), nullptr, nullptr);
    } else if (row == std::end(kContainers)) {
        format = av_guess_format(nullptr, ("x." + ext).c_str(), nullptr);
    }
    if (format == nullptr && (row == std::end(kContainers) || !muxerOverride.empty())) {
        return std::nullopt;
    }
    // Our table's encoders where the extension is known, with the muxer "-f" names.
    ContainerInfo info = row != std::end(kContainers) ? FromRow(*row) : FromFormat(*format);
    if (format != nullptr) {
        info.muxer = format->name;
    }
    return info;
}

}  // namespace ostrel::engine::ff
