#include "engine/ffmpeg/player/decode_thread.h"

#include "engine/ffmpeg/player/seek_trim.h"

namespace ostrel::engine::ff {

void RunDecodeLoop(StreamDecoder& decoder, PacketQueue& packets, DecodeSink& sink,
                   const std::stop_token& stop, const std::function<void()>& taken) {
    int serial = -1;
    const StreamDecoder::FrameSink deliver = [&](AVFrame* frame) {
        if (stop.stop_requested()) {
            return false;
        }
        if (packets.Serial() != serial) {
            return true;  // a seek came: the rest of this packet is stale
        }
        return sink.Deliver(frame);
    };
    PacketQueue::Entry entry;
    while (packets.Pop(entry)) {
        taken();
        if (entry.serial != serial) {
            decoder.Flush();
            serial = entry.serial;
            sink.Restart(serial, serial == 0 ? kNoTargetS : entry.targetUs / 1e6);
        }
        sink.BeforePacket(*decoder.Context(), entry.item.get());
        if (entry.item) {
            if (!decoder.Decode(entry.item.get(), deliver)) {
                return;
            }
            continue;
        }
        if (!decoder.Decode(nullptr, deliver) || !sink.Drain()) {
            return;
        }
        decoder.Flush();
        if (packets.Serial() == serial) {
            sink.Finished(serial);
        }
    }
}

}  // namespace ostrel::engine::ff
