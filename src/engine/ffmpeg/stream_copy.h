// A copied stream of a task: the input's packets, through the bit-stream filter the two
// containers need, moved to the output's time line and written by the shared muxer. It runs on
// the reading thread; there is nothing to decode.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/ffmpeg/av_util.h"

extern "C" {
#include <libavcodec/bsf.h>
}

namespace ostrel::engine::ff {

class SharedMuxer;

struct BsfDeleter {
    void operator()(AVBSFContext* context) const { av_bsf_free(&context); }
};
using BsfContextPtr = std::unique_ptr<AVBSFContext, BsfDeleter>;

class StreamCopy {
  public:
    // Prepares the filter (empty name: none) for the input stream; the parameters the output
    // stream takes are then Parameters().
    bool Open(const AVStream& input, const std::string& filterName, std::string& error);
    const AVCodecParameters& Parameters() const;
    // Adds the output's stream: the parameters, the codec tag (0: the muxer's), the frame rate,
    // aspect and the display matrix of the input.
    AVStream* AddTo(AVFormatContext& output, std::uint32_t codecTag, std::string& error) const;

    // The output starts where the input's earliest stream starts (startPts, input time base,
    // AV_NOPTS_VALUE: at the input's own timestamps).
    void SetStartPts(std::int64_t startPts) { startPts_ = startPts; }
    // Writes one packet (null: flushes the filter). False with error set, or without a text
    // when the muxer stopped because the task is ending.
    bool Write(AVPacket* packet, SharedMuxer& muxer, const AVStream& outStream, std::string& error);
    std::int64_t PacketsCopied() const { return packetsCopied_; }

  private:
    bool WriteFiltered(AVPacket* packet, SharedMuxer& muxer, const AVStream& outStream,
                       std::string& error);

    const AVStream* input_ = nullptr;
    BsfContextPtr filter_;
    PacketPtr filtered_;
    std::int64_t startPts_ = AV_NOPTS_VALUE;
    std::int64_t packetsCopied_ = 0;
};

}  // namespace ostrel::engine::ff
