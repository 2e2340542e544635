// Subtitles over the preview's pictures: the file's text subtitle tracks, and the filter that
// draws one of them, timed and styled as the track says (FFmpeg's "subtitles" filter, libass).
#pragma once

#include <string>
#include <vector>

#include "engine/ffmpeg/av_util.h"

namespace ostrel::engine::ff {

struct SubtitleTrackInfo {
    int streamIndex = -1;
    int subtitleOrdinal = -1;  // among all subtitle streams of the file, as the filter counts
    std::string label;         // "Track 1 (eng, Director's comments)"
};

// The tracks whose codec is text (SubRip, ASS/SSA, mov_text, WebVTT and the like), in file
// order. Picture subtitles (DVD, Blu-ray) cannot be drawn by the filter and are left out.
std::vector<SubtitleTrackInfo> TextSubtitleTracks(const AVFormatContext& input);

// The filter chain step that draws subtitle stream number ordinal of the file at path, the
// path escaped for both levels of libavfilter's syntax.
std::string SubtitlesFilter(const std::string& path, int ordinal);

}  // namespace ostrel::engine::ff
