#include "engine/ffmpeg/player/subtitle_overlay.h"

namespace ostrel::engine::ff {
namespace {

std::string Escaped(const std::string& text, const std::string& special) {
    std::string out;
    for (char c : text) {
        if (special.find(c) != std::string::npos) {
            out += '\\';
        }
        out += c;
    }
    return out;
}

std::string Tag(const AVStream& stream, const char* key) {
    const AVDictionaryEntry* entry = av_dict_get(stream.metadata, key, nullptr, 0);
    return entry != nullptr && entry->value != nullptr ? entry->value : "";
}

}  // namespace

std::vector<SubtitleTrackInfo> TextSubtitleTracks(const AVFormatContext& input) {
    std::vector<SubtitleTrackInfo> tracks;
    int ordinal = 0;
    for (unsigned i = 0; i < input.nb_streams; ++i) {
        const AVStream& stream = *input.streams[i];
        if (stream.codecpar->codec_type != AVMEDIA_TYPE_SUBTITLE) {
            continue;
        }
        const AVCodecDescriptor* descriptor = avcodec_descriptor_get(stream.codecpar->codec_id);
        if (descriptor != nullptr && (descriptor->props & AV_CODEC_PROP_TEXT_SUB) != 0 &&
            avcodec_find_decoder(stream.codecpar->codec_id) != nullptr) {
            SubtitleTrackInfo track;
            track.streamIndex = static_cast<int>(i);
            track.subtitleOrdinal = ordinal;
            track.label = "Track " + std::to_string(tracks.size() + 1);
            std::string details = Tag(stream, "language");
            if (const std::string title = Tag(stream, "title"); !title.empty()) {
                details += (details.empty() ? "" : ", ") + title;
            }
            if (!details.empty()) {
                track.label += " (" + details + ")";
            }
            tracks.push_back(std::move(track));
        }
        ++ordinal;
    }
    return tracks;
}

std::string SubtitlesFilter(const std::string& path, int ordinal) {
    // The option value first (its separators ':' and the quoting characters), then the chain
    // (its separators and brackets).
    const std::string option = Escaped(path, "\\':");
    return "subtitles=filename=" + Escaped(option, "\\'[],;") + ":si=" + std::to_string(ordinal);
}

}  // namespace ostrel::engine::ff
