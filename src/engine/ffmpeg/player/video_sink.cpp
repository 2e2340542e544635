#include "engine/ffmpeg/player/video_sink.h"

#include <cmath>

#include "engine/ffmpeg/display_matrix.h"
#include "engine/ffmpeg/player/clocks.h"
#include "engine/ffmpeg/player/media_session.h"
#include "engine/ffmpeg/player/seek_trim.h"
#include "engine/ffmpeg/player/subtitle_overlay.h"

namespace ostrel::engine::ff {

namespace {

double FrameDurationS(AVFormatContext* context, AVStream* stream) {
    const AVRational rate = av_guess_frame_rate(context, stream, nullptr);
    return rate.num > 0 && rate.den > 0 ? av_q2d(av_inv_q(rate)) : 0.04;
}

}  // namespace

VideoSink::VideoSink(MediaSession& session)
    : session_(session),
      stream_(session.MediaInput().Stream(session.Facts().videoIndex)),
      timeBase_(av_q2d(stream_->time_base)),
      frameDurationS_(FrameDurationS(session.MediaInput().Context(), stream_)),
      startPts_(session.Facts().startS > 0.0 ? av_rescale_q(ToMicroseconds(session.Facts().startS),
                                                            AV_TIME_BASE_Q, stream_->time_base)
                                             : 0),
      upright_(UprightFilter(stream_)),
      filtered_(av_frame_alloc()),
      held_(av_frame_alloc()) {}

void VideoSink::Restart(int serial, double targetS) {
    // The graph is kept: its filters hold no pictures, and the subtitles filter reads every
    // cue of the file when it is made.
    serial_ = serial;
    targetS_ = targetS;
    av_frame_unref(held_.get());
    holding_ = false;
}

void VideoSink::BeforePacket(AVCodecContext& decoder, const AVPacket* packet) {
    // On the way to a seek's target, pictures that no other picture refers to are not decoded
    // at all while they lie well before it: they cannot be the one shown.
    const bool skip = packet != nullptr && packet->pts != AV_NOPTS_VALUE &&
                      SkipUnreferenced(static_cast<double>(packet->pts - startPts_) * timeBase_,
                                       targetS_, frameDurationS_);
    decoder.skip_frame = skip ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
}

bool VideoSink::BuildGraph(const AVFrame& frame) {
    AVRational sar = frame.sample_aspect_ratio;
    if (sar.num <= 0 || sar.den <= 0) {
        sar = AVRational{1, 1};
    }
    const std::string args = VideoSourceArgs(*session_.VideoDecoder().Context(), stream_->time_base,
                                             sar, AVRational{0, 1});
    std::string error;
    if (!graph_.Build(AVMEDIA_TYPE_VIDEO, args, chain_, 1, error)) {
        return false;
    }
    graphWidth_ = frame.width;
    graphHeight_ = frame.height;
    graphFormat_ = frame.format;
    return true;
}

bool VideoSink::Deliver(AVFrame* frame) {
    frame->sample_aspect_ratio =
        av_guess_sample_aspect_ratio(session_.MediaInput().Context(), stream_, frame);
    const int track = session_.subtitleTrack.load();
    if (track != chainTrack_) {
        // Another subtitle track, or none: the chain is made again for the next picture.
        chainTrack_ = track;
        const auto& tracks = session_.Facts().subtitleTracks;
        chain_ = JoinChain(
            {upright_, track >= 0 && track < static_cast<int>(tracks.size())
                           ? SubtitlesFilter(session_.Facts().path, tracks[track].subtitleOrdinal)
                           : std::string()});
        graph_ = FilterGraph();
    }
    if (chain_.empty()) {
        return Pass(frame);
    }
    if (!graph_.IsBuilt() || frame->width != graphWidth_ || frame->height != graphHeight_ ||
        frame->format != graphFormat_) {
        if (!BuildGraph(*frame)) {
            // Subtitles that cannot be drawn are left out; a picture that cannot be turned is
            // shown as stored rather than not at all.
            if (chain_ == upright_ || (chain_ = upright_).empty() || !BuildGraph(*frame)) {
                return Pass(frame);
            }
        }
    }
    if (graph_.Push(frame) < 0) {
        return true;
    }
    return PullFiltered();
}

bool VideoSink::PullFiltered() {
    while (graph_.Pull(filtered_.get()) >= 0) {
        const bool more = Pass(filtered_.get());
        av_frame_unref(filtered_.get());
        if (!more) {
            return false;
        }
    }
    return true;
}

bool VideoSink::Drain() {
    if (graph_.IsBuilt() && graph_.Push(nullptr) >= 0) {
        if (!PullFiltered()) {
            return false;
        }
        graph_ = FilterGraph();
    }
    targetS_ = kNoTargetS;
    return QueueHeld();
}

void VideoSink::Finished(int serial) {
    session_.videoFinished = serial;
    session_.presentSleeper.Wake();
}

bool VideoSink::Pass(AVFrame* frame) {
    const double ptsS =
        frame->pts == AV_NOPTS_VALUE ? NAN : static_cast<double>(frame->pts) * timeBase_;
    const double durationS =
        frame->pkt_duration > 0 ? frame->pkt_duration * timeBase_ : frameDurationS_;
    switch (StepForPicture(ptsS, targetS_)) {
        case PictureStep::Hold:
            av_frame_unref(held_.get());
            av_frame_ref(held_.get(), frame);
            heldPtsS_ = ptsS;
            holding_ = true;
            return true;
        case PictureStep::ShowHeldFirst:
            targetS_ = kNoTargetS;
            if (!QueueHeld()) {
                return false;
            }
            break;
        case PictureStep::Show:
            break;
    }
    if (LateAlready(ptsS, durationS)) {
        session_.stats.Dropped();
        return true;
    }
    const PictureSize size = session_.targetSize.load();
    return Queue(frame, ptsS, scaler_.Scale(frame, size, ToMicroseconds(ptsS)));
}

bool VideoSink::LateAlready(double ptsS, double durationS) {
    // Decoding has fallen behind: a picture whose time has passed before it was even queued is
    // dropped here, as ffplay does, rather than shown late.
    if (std::isnan(ptsS) || lastQueuedSerial_ != serial_ || session_.videoPackets.Size() == 0 ||
        session_.control.Paused()) {
        return false;
    }
    const double master = session_.clocks.Master(NowSeconds());
    return !std::isnan(master) && ptsS + durationS < master &&
           master - ptsS < Clocks::kNoSyncThresholdS;
}

bool VideoSink::QueueHeld() {
    if (!holding_) {
        return true;
    }
    holding_ = false;
    const bool more = Queue(held_.get(), heldPtsS_, nullptr);
    av_frame_unref(held_.get());
    return more;
}

bool VideoSink::Queue(const AVFrame* frame, double ptsS, std::shared_ptr<const VideoFrame> scaled) {
    auto picture = std::make_shared<Picture>();
    picture->frame.reset(av_frame_clone(frame));
    if (!picture->frame) {
        return true;
    }
    picture->scaled = std::move(scaled);
    picture->ptsS = ptsS;
    picture->serial = serial_;
    const bool more = session_.pictures.PushOf(serial_, std::move(picture));
    lastQueuedSerial_ = serial_;
    session_.presentSleeper.Wake();  // a picture to show, or the first after a seek
    return more;
}

}  // namespace ostrel::engine::ff
