#include "engine/ffmpeg/player/sound_feeder.h"

#include <cmath>
#include <string>

#include "engine/ffmpeg/player/audio_output.h"
#include "engine/ffmpeg/player/seek_trim.h"
#include "engine/ffmpeg/player/sound_view.h"

namespace ostrel::engine::ff {
namespace {

// The samples of frame from skip on, with the timestamp moved to match.
bool CopyFrom(const AVFrame& frame, int skip, AVRational timeBase, AVFrame& copy) {
    av_frame_unref(&copy);
    copy.format = frame.format;
    copy.sample_rate = frame.sample_rate;
    copy.nb_samples = frame.nb_samples - skip;
    if (av_channel_layout_copy(&copy.ch_layout, &frame.ch_layout) < 0 ||
        av_frame_get_buffer(&copy, 0) < 0) {
        return false;
    }
    av_samples_copy(copy.extended_data, frame.extended_data, 0, skip, copy.nb_samples,
                    frame.ch_layout.nb_channels, static_cast<AVSampleFormat>(frame.format));
    copy.pts = frame.pts + av_rescale_q(skip, AVRational{1, frame.sample_rate}, timeBase);
    return true;
}

}  // namespace

SoundFeeder::SoundFeeder(AudioOutput& output, AVRational timeBase, std::stop_token stop,
                         std::function<void()> finished, SoundScope* scope)
    : output_(output),
      timeBase_(timeBase),
      stop_(std::move(stop)),
      finished_(std::move(finished)),
      scope_(scope),
      cut_(av_frame_alloc()),
      converted_(av_frame_alloc()) {}

void SoundFeeder::Restart(int serial, double targetS) {
    serial_ = serial;
    targetS_ = targetS;
    converter_.SetTarget(output_.Target(), timeBase_);  // what it holds is of the old position
}

bool SoundFeeder::Deliver(AVFrame* frame) {
    if (frame->sample_rate <= 0 || frame->nb_samples <= 0) {
        return true;
    }
    const double ptsS =
        frame->pts == AV_NOPTS_VALUE ? NAN : static_cast<double>(frame->pts) * av_q2d(timeBase_);
    const SoundCut cut = CutSound(ptsS, frame->nb_samples, frame->sample_rate, targetS_);
    if (cut.drop) {
        return true;
    }
    if (cut.reached) {
        targetS_ = kNoTargetS;
    }
    if (cut.skipSamples > 0) {
        // The sound starts at the target: keep only the samples from there.
        if (!CopyFrom(*frame, cut.skipSamples, timeBase_, *cut_)) {
            return true;
        }
        return Convert(cut_.get());
    }
    return Convert(frame);
}

bool SoundFeeder::Drain() {
    return Convert(nullptr);
}

void SoundFeeder::Finished(int serial) {
    output_.MarkEnd(serial);
    finished_();
}

bool SoundFeeder::Convert(AVFrame* frame) {
    std::string error;
    if (!converter_.Push(frame, error)) {
        return !stop_.stop_requested();  // a frame the converter cannot take is skipped
    }
    const double timeBase = av_q2d(converter_.TimeBase());
    while (converter_.Pull(converted_.get()) >= 0) {
        const AVFrame& out = *converted_;
        const std::size_t bytes =
            static_cast<std::size_t>(out.nb_samples) * out.ch_layout.nb_channels * 2;
        const double endPtsS = out.pts == AV_NOPTS_VALUE
                                   ? NAN
                                   : static_cast<double>(out.pts) * timeBase +
                                         static_cast<double>(out.nb_samples) / out.sample_rate;
        if (scope_ != nullptr) {
            scope_->Write(reinterpret_cast<const std::int16_t*>(out.data[0]), out.nb_samples,
                          out.ch_layout.nb_channels,
                          endPtsS - static_cast<double>(out.nb_samples) / out.sample_rate, serial_);
        }
        const bool more = output_.Write(out.data[0], bytes, endPtsS, serial_, stop_);
        av_frame_unref(converted_.get());
        if (!more) {
            return false;
        }
    }
    return true;
}

}  // namespace ostrel::engine::ff
