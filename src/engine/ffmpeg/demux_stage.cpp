#include "engine/ffmpeg/demux_stage.h"

#include "engine/ffmpeg/stop.h"

#include <algorithm>
#include <string>
#include <utility>

#include "engine/ffmpeg/input.h"
#include "engine/ffmpeg/length_check.h"
#include "engine/ffmpeg/shared_muxer.h"
#include "engine/ffmpeg/subtitles.h"

namespace ostrel::engine::ff {
namespace {

// A read that times out after this much data without a decoded frame was reading junk.
constexpr std::int64_t kJunkHintBytes = 1024 * 1024;
// When the streams read end early, this much before their end is read again with every stream.
constexpr std::int64_t kTailRereadUs = 3'000'000;

}  // namespace

DemuxStage::DemuxStage(Input& input, LengthCheck& length, SharedMuxer& muxer,
                       SubtitleTracks& subtitles, TaskStop& stop,
                       std::atomic<bool>& decodedSinceRead, PauseGate* pause)
    : input_(input),
      length_(length),
      muxer_(muxer),
      subtitles_(subtitles),
      stop_(stop),
      decodedSinceRead_(decodedSinceRead),
      pause_(pause) {}

void DemuxStage::Route(int streamIndex, Pipeline::PacketStep step) {
    routes_.push_back({streamIndex, std::move(step)});
}

void DemuxStage::Run() {
    DiscardUnusedStreams();
    PacketPtr packet(av_packet_alloc());
    if (!packet) {
        stop_.Fail("Out of memory");
        return;
    }
    while (!stop_.Stopping()) {
        // Paused: nothing is read, and the stages behind wait at their emptied queues.
        if (pause_ != nullptr && !pause_->WaitWhilePaused(stop_.Token())) {
            break;
        }
        if (decodedSinceRead_.exchange(false)) {
            input_.MarkUsable();
        }
        if (input_.Read(packet.get()) < 0) {
            if (ReadFailed()) {
                return;
            }
            break;  // end of input; a damaged tail ends it too (the length check follows)
        }
        length_.Saw(*packet);
        const bool ok = Dispatch(packet.get());
        av_packet_unref(packet.get());
        if (!ok) {
            stop_.End();
            return;
        }
    }
    // In the routes' order: the video's queue is closed before the sound read on this thread
    // is drained.
    for (StreamRoute& route : routes_) {
        if (!stop_.Stopping() && !route.step(nullptr)) {
            stop_.End();
        }
    }
}

// A read that ran out of time while data kept coming found junk, not a stall. True when the
// read failed the task; false at the end of the input.
bool DemuxStage::ReadFailed() {
    const bool junk =
        input_.HitJunk() || (input_.TimedOut() && input_.BytesSinceUsable() > kJunkHintBytes);
    if (input_.TimedOut() && !junk) {
        return !stop_.FailLibav(input_.ErrorText("the input file"));
    }
    if (junk) {
        return !stop_.Fail(
            Format("The rest of the input file is damaged: nothing could be read after %.1f s",
                   static_cast<double>(muxer_.PositionUs()) / 1e6));
    }
    return false;
}

bool DemuxStage::Dispatch(AVPacket* packet) {
    const int index = packet->stream_index;
    for (StreamRoute& route : routes_) {
        if (route.streamIndex == index) {
            return route.step(packet);
        }
    }
    if (subtitles_.Carries(index)) {
        std::string error;
        return muxer_.WriteSubtitle(subtitles_, *packet, error) || stop_.FailLibav(error);
    }
    return true;
}

// Streams that are not converted are not read at all: the demuxer skips their data.
void DemuxStage::DiscardUnusedStreams() {
    AVFormatContext* input = input_.Context();
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const int index = static_cast<int>(i);
        const bool routed =
            std::any_of(routes_.begin(), routes_.end(),
                        [index](const StreamRoute& r) { return r.streamIndex == index; });
        if (!routed && !subtitles_.Carries(index)) {
            input->streams[i]->discard = AVDISCARD_ALL;
            discarded_.push_back(index);
        }
    }
}

// The streams that were not read still count for whether the input is complete: when the
// streams read end early, the tail of the file is read once more with every stream, so that a
// picture lasting longer than the sound is not taken for a cut file.
bool DemuxStage::VerifyDiscardedEnds() {
    if (discarded_.empty() || !length_.EndsEarly()) {
        return true;
    }
    AVFormatContext* input = input_.Context();
    for (const int index : discarded_) {
        input->streams[index]->discard = AVDISCARD_DEFAULT;
    }
    const std::int64_t declaredUs = length_.ExpectedUs();
    const std::int64_t tailUs = LengthCheck::ToleranceUs(declaredUs) + kTailRereadUs;
    const std::int64_t targetUs =
        (input_.StartTimeUs() != AV_NOPTS_VALUE ? input_.StartTimeUs() : 0) +
        std::max<std::int64_t>(0, declaredUs - tailUs);
    if (av_seek_frame(input, -1, targetUs, AVSEEK_FLAG_BACKWARD) < 0) {
        return true;  // the length check reports the file as cut
    }
    PacketPtr packet(av_packet_alloc());
    if (!packet) {
        return stop_.Fail("Out of memory");
    }
    while (!stop_.Stopping() && input_.Read(packet.get()) >= 0) {
        length_.Saw(*packet);
        av_packet_unref(packet.get());
    }
    return !stop_.Stopping();
}

}  // namespace ostrel::engine::ff
