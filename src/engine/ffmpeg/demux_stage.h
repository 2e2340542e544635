// The reading stage of a conversion task, on the task's own thread: reads the input, hands
// each converted stream's packets on, writes the carried subtitles, and leaves the streams
// that are not converted unread. When the streams read end early, it reads the tail of the
// file again with every stream for the length check.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "engine/ffmpeg/pipeline.h"

namespace ostrel::engine::ff {

class Input;
class LengthCheck;
class PauseGate;
class SharedMuxer;
class SubtitleTracks;

class DemuxStage {
  public:
    // decodedSinceRead: set by the stages when they decoded a frame, so the input is usable.
    DemuxStage(Input& input, LengthCheck& length, SharedMuxer& muxer, SubtitleTracks& subtitles,
               TaskStop& stop, std::atomic<bool>& decodedSinceRead, PauseGate* pause = nullptr);
    DemuxStage(const DemuxStage&) = delete;
    DemuxStage& operator=(const DemuxStage&) = delete;

    // The packets of the input stream streamIndex go to step; call before Run.
    void Route(int streamIndex, Pipeline::PacketStep step);

    // Reads to the end of the input, then ends every route. A failure stops the task.
    void Run();
    // After the pipeline: false when the run was stopped or the tail could not be read.
    bool VerifyDiscardedEnds();

  private:
    struct StreamRoute {
        int streamIndex = -1;
        Pipeline::PacketStep step;
    };
    void DiscardUnusedStreams();
    bool ReadFailed();
    bool Dispatch(AVPacket* packet);

    Input& input_;
    LengthCheck& length_;
    SharedMuxer& muxer_;
    SubtitleTracks& subtitles_;
    TaskStop& stop_;
    std::vector<StreamRoute> routes_;
    std::vector<int> discarded_;  // input streams not read
    std::atomic<bool>& decodedSinceRead_;
    PauseGate* pause_;
};

}  // namespace ostrel::engine::ff
