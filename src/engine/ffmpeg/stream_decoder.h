// Decodes one stream of an input: packets in, frames out to a sink, as a conversion task or a
// player's decoder thread drives it. "Needs more data" and "end of stream" are normal states,
// not errors; damaged packets and frames are skipped, as the ffmpeg tool does.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/ffmpeg/av_util.h"

namespace ostrel::engine::ff {

class StreamDecoder {
  public:
    // Receives each decoded frame (owned by the decoder, valid for the call); false stops
    // decoding, for an error or a stop of the caller's own.
    using FrameSink = std::function<bool(AVFrame* frame)>;

    // Opens the stream's decoder with threads codec threads; false with error set when the
    // codec has no decoder or it cannot be opened.
    bool Open(AVFormatContext* input, AVStream* stream, int threads, std::string& error);

    // Timestamps handed to the sink are counted from this one (in the stream's time base): a
    // conversion passes the input's start time so that its output starts at 0.
    void SetStartPts(std::int64_t startPts) { startPts_ = startPts; }

    // Sends one packet (null at the end of the stream, which drains the decoder) and hands every
    // frame that is ready to sink. Returns false only when the sink did.
    bool Decode(const AVPacket* packet, const FrameSink& sink);

    // Drops what the decoder holds, after a seek.
    void Flush();

    AVCodecContext* Context() const { return context_.get(); }
    const AVStream* Stream() const { return stream_; }
    std::int64_t FramesDecoded() const { return framesDecoded_; }

  private:
    // A frame's timestamp, cleaned: the best-effort one from the start, or for audio frames
    // without one the end of the previous frame.
    void CleanTimestamp(AVFrame* frame);

    CodecContextPtr context_;
    FramePtr frame_;
    const AVStream* stream_ = nullptr;
    std::int64_t startPts_ = 0;
    std::int64_t nextPts_ = AV_NOPTS_VALUE;  // end of the last audio frame, stream time base
    std::int64_t framesDecoded_ = 0;
};

}  // namespace ostrel::engine::ff
