#include "engine/ffmpeg/player/read_thread.h"

#include <chrono>
#include <limits>

#include "engine/ffmpeg/player/media_session.h"

namespace ostrel::engine::ff {
namespace {

// The read thread pauses while the queues hold this much (ffplay's limits).
constexpr std::int64_t kMaxQueueBytes = 15 * 1024 * 1024;
constexpr std::size_t kMinPackets = 25;
// Far enough to mean "until woken": the sleeps end on a wake or the stop.
constexpr auto kUntilWoken = std::chrono::hours(24);

void CarryOutSeek(MediaSession& session, const SeekRequest& request) {
    AVFormatContext* context = session.MediaInput().Context();
    const std::int64_t mediaTarget = request.targetUs + ToMicroseconds(session.Facts().startS);
    // The key frame at or before the target; the decoders drop up to the target.
    int ret = avformat_seek_file(context, -1, std::numeric_limits<std::int64_t>::min(), mediaTarget,
                                 mediaTarget, 0);
    if (ret < 0) {
        av_seek_frame(context, -1, mediaTarget, AVSEEK_FLAG_BACKWARD);
    }
    // A key-frame seek shows and plays everything from the key frame on: no target to trim to.
    const std::int64_t trimUs = request.keyFrame ? -1 : request.targetUs;
    // Pictures first: a picture decoded from a packet of the new serial must find its queue
    // on that serial already.
    session.pictures.Flush(trimUs);
    session.videoPackets.Flush(trimUs);
    session.audioPackets.Flush(trimUs);
    if (AudioOutput* sound = session.Sound()) {
        sound->Wake();  // a block of the old position waiting for room is dropped
    }
    session.clocks.InvalidateExternal();
    session.readEnded = false;
    // Only now, with the queues on the new serial, may the end be judged again.
    session.control.SeekDone(request.number);
    session.presentSleeper.Wake();
}

bool QueuesFull(const MediaSession& session, std::size_t capacity) {
    const std::size_t video = session.videoPackets.Size();
    const std::size_t audio = session.audioPackets.Size();
    // A queue at its capacity would make the next push wait, where no seek could reach it.
    return session.videoPackets.Bytes() + session.audioPackets.Bytes() > kMaxQueueBytes ||
           video >= capacity || audio >= capacity ||
           ((!session.HasVideo() || video > kMinPackets) &&
            (!session.HasSound() || audio > kMinPackets));
}

// Sleeps until a decode thread took a packet, a seek came or the stop.
void Sleep(MediaSession& session, const std::stop_token& stop, bool ended, std::size_t capacity) {
    session.readerWaits = true;
    if (ended || QueuesFull(session, capacity)) {
        session.readSleeper.SleepUntil(stop, std::chrono::steady_clock::now() + kUntilWoken);
    }
    session.readerWaits = false;
}

// Reads one packet into its queue; false at the end of the file (or a read that failed).
bool ReadOne(MediaSession& session, AVPacket* packet) {
    if (session.MediaInput().Read(packet) < 0) {
        return false;
    }
    if (packet->stream_index == session.Facts().videoIndex) {
        session.videoPackets.Push(PacketPtr(av_packet_clone(packet)), packet->size);
    } else if (packet->stream_index == session.Facts().audioIndex) {
        session.audioPackets.Push(PacketPtr(av_packet_clone(packet)), packet->size);
    }
    av_packet_unref(packet);
    return true;
}

}  // namespace

void RunReadThread(MediaSession& session, std::size_t capacity) {
    const std::stop_token stop = session.StopToken();
    PacketPtr packet(av_packet_alloc());
    bool ended = false;
    while (!stop.stop_requested()) {
        if (const std::optional<SeekRequest> request = session.control.TakeSeek()) {
            CarryOutSeek(session, *request);
            ended = false;
        }
        if (ended || QueuesFull(session, capacity)) {
            Sleep(session, stop, ended, capacity);
            continue;
        }
        if (ReadOne(session, packet.get())) {
            continue;
        }
        if (stop.stop_requested()) {
            break;
        }
        // The end of the file, a damaged stretch that cannot be read past or a read that got no
        // answer: the decoders drain what they have and playback ends there.
        if (session.HasVideo()) {
            session.videoPackets.Push(nullptr);
        }
        if (session.HasSound()) {
            session.audioPackets.Push(nullptr);
        }
        ended = true;
        session.readEnded = true;
        session.presentSleeper.Wake();
    }
}

}  // namespace ostrel::engine::ff
