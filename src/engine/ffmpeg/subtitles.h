// The input's subtitle tracks in outputs whose container holds them. Text subtitles (SubRip,
// ASS/SSA, mov_text, WebVTT) are converted into the container's text form: Matroska keeps them
// as they are (mov_text becomes SubRip), MP4/MOV/3GP take mov_text, WebM WebVTT. Bitmap
// subtitles (DVD, PGS, DVB) go only into Matroska, as they are. Every other container gets
// none; subtitles are never burnt into the picture.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/ffmpeg/av_util.h"
#include "engine/ffmpeg/metadata.h"

namespace ostrel::engine::ff {

class SubtitleTracks {
  public:
    SubtitleTracks();
    ~SubtitleTracks();
    SubtitleTracks(const SubtitleTracks&) = delete;
    SubtitleTracks& operator=(const SubtitleTracks&) = delete;

    // Adds an output stream per subtitle track the output's container holds, before the header
    // is written. startUs is the input's start time (the output starts at 0). A track whose
    // decoder or encoder cannot be opened is left out. False only when out of memory.
    bool Add(const AVFormatContext& input, AVFormatContext& output, std::int64_t startUs,
             TagPolicy policy);
    // True when packets of this input stream go to a track.
    bool Carries(int inputIndex) const;
    // Converts (or copies) a packet of a carried track and writes it to the output.
    bool Write(const AVPacket& packet, AVFormatContext& output, std::string& error);
    int Count() const { return static_cast<int>(tracks_.size()); }

  private:
    struct Track;
    bool WriteCopy(Track& track, const AVPacket& packet, AVFormatContext& output,
                   std::string& error);
    bool WriteConverted(Track& track, const AVPacket& packet, AVFormatContext& output,
                        std::string& error);

    std::vector<std::unique_ptr<Track>> tracks_;
    std::int64_t startUs_ = 0;
    PacketPtr packet_;
};

}  // namespace ostrel::engine::ff
