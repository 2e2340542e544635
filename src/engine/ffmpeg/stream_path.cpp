#include "engine/ffmpeg/stream_path.h"

#include <algorithm>
#include <string>

#include "engine/ffmpeg/length_check.h"
#include "engine/ffmpeg/pipeline.h"
#include "engine/ffmpeg/shared_muxer.h"

namespace ostrel::engine::ff {

StreamPath::StreamPath(AVMediaType type, const char* name)
    : type_(type), name_(name), filtered_(av_frame_alloc()) {
    HandOnDirectly();
}

void StreamPath::HandOnDirectly() {
    decodedStep_ = [this](AVFrame* frame) { return Filter(frame); };
    filteredStep_ = [this](AVFrame* frame) { return Encode(frame); };
}

void StreamPath::Attach(TaskStop& stop, SharedMuxer& muxer, const LengthCheck& length,
                        std::atomic<bool>& decodedSinceRead) {
    stop_ = &stop;
    muxer_ = &muxer;
    length_ = &length;
    decodedSinceRead_ = &decodedSinceRead;
}

bool StreamPath::Decode(const AVPacket* packet) {
    if (!decoder.Decode(packet, [this](AVFrame* frame) { return Decoded(frame); })) {
        return false;  // the frame was not handed on: the task is ending
    }
    return packet != nullptr || decodedStep_(nullptr);
}

// Each decoded frame tells the reading thread that the input is usable; a picture's end is
// kept for the video's last picture.
bool StreamPath::Decoded(AVFrame* frame) {
    *decodedSinceRead_ = true;
    if (IsVideo() && frame->pts != AV_NOPTS_VALUE) {
        const std::int64_t duration = frame->pkt_duration > 0 ? frame->pkt_duration : 0;
        lastVideoEndPts_ = lastVideoEndPts_ == AV_NOPTS_VALUE
                               ? frame->pts + duration
                               : std::max(lastVideoEndPts_, frame->pts + duration);
    }
    return decodedStep_(frame);
}

bool StreamPath::Filter(AVFrame* frame) {
    if (!IsVideo()) {
        std::string error;
        if (!sound.Push(frame, error)) {
            return stop_->FailLibav(error);
        }
        if (frame == nullptr && !sound.IsBuilt()) {
            return filteredStep_(nullptr);  // no sound came: only the encoder to drain
        }
    } else if (const int ret = PushToFilter(frame); ret < 0) {
        return stop_->FailLibav("Cannot filter the decoded frames: " + ErrorText(ret));
    }
    return PullFiltered();
}

// The last picture lasts until the video's end: a slow video's last frame is repeated at the
// output's rate for as long as it was shown.
int StreamPath::PushToFilter(AVFrame* frame) {
    if (frame != nullptr || lastVideoEndPts_ == AV_NOPTS_VALUE) {
        return graph.Push(frame);
    }
    const std::int64_t endPts = std::max(
        lastVideoEndPts_,
        av_rescale_q(length_->StreamEndUs(inStream->index), AV_TIME_BASE_Q, inStream->time_base));
    return graph.Close(endPts);
}

bool StreamPath::PullFiltered() {
    AVFrame* filtered = filtered_.get();
    while (!stop_->Stopping()) {
        const int ret = IsVideo() ? graph.Pull(filtered) : sound.Pull(filtered);
        if (ret == AVERROR(EAGAIN)) {
            return true;
        }
        if (ret == AVERROR_EOF) {
            return filteredStep_(nullptr);
        }
        if (ret < 0) {
            return stop_->FailLibav("Cannot filter the decoded frames: " + ErrorText(ret));
        }
        Retime(*filtered);
        const bool ok = filteredStep_(filtered);
        av_frame_unref(filtered);  // left empty already when handed to another stage
        if (!ok) {
            return false;
        }
    }
    return false;
}

// Into the encoder's time base. Sound timestamps only move forward (a rebuilt converter may
// restart a little earlier than the last frame ended).
void StreamPath::Retime(AVFrame& filtered) {
    const AVRational from = IsVideo() ? graph.TimeBase() : sound.TimeBase();
    if (filtered.pts != AV_NOPTS_VALUE) {
        filtered.pts = av_rescale_q(filtered.pts, from, encoder.Context()->time_base);
    }
    if (!IsVideo()) {
        if (filtered.pts == AV_NOPTS_VALUE ||
            (nextSoundPts_ != AV_NOPTS_VALUE && filtered.pts < nextSoundPts_)) {
            filtered.pts = nextSoundPts_ != AV_NOPTS_VALUE ? nextSoundPts_ : 0;
        }
        nextSoundPts_ = filtered.pts + filtered.nb_samples;
    }
    filtered.pict_type = AV_PICTURE_TYPE_NONE;
}

bool StreamPath::Encode(const AVFrame* frame) {
    const AVRational timeBase = encoder.Context()->time_base;
    std::string error;
    const bool ok = encoder.Encode(
        frame,
        [&](AVPacket* packet) {
            return !stop_->Stopping() && muxer_->Write(packet, timeBase, *outStream, error);
        },
        error);
    // Without a text, the writing stopped because the task is ending.
    return ok || (error.empty() ? false : stop_->FailLibav(error));
}

// Each copied packet, as each decoded frame, tells the reading thread the input is usable.
bool StreamPath::Copy(AVPacket* packet) {
    if (stop_->Stopping()) {
        return false;
    }
    if (packet != nullptr) {
        *decodedSinceRead_ = true;
    }
    std::string error;
    return copy.Write(packet, *muxer_, *outStream, error) ||
           (error.empty() ? false : stop_->FailLibav(error));
}

}  // namespace ostrel::engine::ff
