// The output's muxer, shared by every stage of a task under one lock:
// av_interleaved_write_frame puts the packets of all streams in timestamp order. Progress is
// taken under the lock (it reads the output's position) and handed to the host's callback
// after unlocking: the host's poster may take locks of its own or run the event at once.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "engine/ffmpeg/av_util.h"

namespace ostrel::engine::ff {

class Output;
class SubtitleTracks;

class SharedMuxer {
  public:
    using Progress = std::function<void(std::int64_t positionUs)>;

    // progress may be empty.
    SharedMuxer(Output& output, Progress progress);
    SharedMuxer(const SharedMuxer&) = delete;
    SharedMuxer& operator=(const SharedMuxer&) = delete;

    // Writes an encoded packet of stream; reports progress at most every 100 ms.
    bool Write(AVPacket* packet, AVRational encoderTimeBase, const AVStream& stream,
               std::string& error);
    // Writes a packet of a carried subtitle track.
    bool WriteSubtitle(SubtitleTracks& subtitles, const AVPacket& packet, std::string& error);
    std::int64_t PositionUs();
    // Reports the final position, whenever the last report was.
    void ReportEnd();

  private:
    std::int64_t DuePositionUs(bool force);
    void Report(std::int64_t positionUs) const;

    Output& output_;
    const Progress progress_;
    std::mutex mutex_;  // the output, its position and the time of the last report
    std::chrono::steady_clock::time_point lastReport_{};
};

}  // namespace ostrel::engine::ff
