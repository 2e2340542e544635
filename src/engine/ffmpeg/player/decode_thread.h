// The one decode loop of the player, for sound and pictures alike: packets of the stream's
// serial queue in, frames out to the stream's sink. A packet of a new serial (a seek) flushes
// the decoder and restarts the sink at the serial's target; a null packet (the end of the
// stream) drains the decoder and the sink and marks the serial finished.
#pragma once

#include <functional>
#include <stop_token>

#include "engine/ffmpeg/av_util.h"
#include "engine/ffmpeg/serial_queue.h"
#include "engine/ffmpeg/stream_decoder.h"

namespace ostrel::engine::ff {

using PacketQueue = SerialQueue<PacketPtr>;

// Where one stream's decoded frames go (the video sink, the sound feeder).
class DecodeSink {
  public:
    virtual ~DecodeSink() = default;
    // Frames of serial follow; targetS is its exact seek target (kNoTargetS: none).
    virtual void Restart(int serial, double targetS) = 0;
    // Before a packet (null: the end) is decoded: the sink may tell the decoder to skip pictures.
    virtual void BeforePacket(AVCodecContext& /*decoder*/, const AVPacket* /*packet*/) {}
    // A decoded frame of the current serial; false ends the loop (stopped).
    virtual bool Deliver(AVFrame* frame) = 0;
    // The stream ended: hand on what is held; false ends the loop.
    virtual bool Drain() = 0;
    // Everything of serial was handed on.
    virtual void Finished(int serial) = 0;
};

// Runs until the stop; taken() is called after each packet taken from the queue.
void RunDecodeLoop(StreamDecoder& decoder, PacketQueue& packets, DecodeSink& sink,
                   const std::stop_token& stop, const std::function<void()>& taken);

}  // namespace ostrel::engine::ff
