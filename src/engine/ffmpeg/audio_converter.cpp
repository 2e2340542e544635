#include "engine/ffmpeg/audio_converter.h"

#include <utility>

namespace ostrel::engine::ff {

void AudioConverter::SetTarget(AudioTarget target, AVRational timeBase, int threads) {
    target_ = std::move(target);
    timeBase_ = timeBase;
    threads_ = threads;
    kind_ = {};
}

bool AudioConverter::Push(AVFrame* frame, std::string& error) {
    if (frame != nullptr) {
        const Kind kind{frame->sample_rate, frame->format, frame->ch_layout.nb_channels};
        if (!(kind == kind_) && !Build(kind, frame->ch_layout, error)) {
            return false;
        }
    } else if (!graph_.IsBuilt()) {
        return true;  // nothing came: nothing to drain
    }
    const int ret = graph_.Push(frame);
    if (ret < 0) {
        error = "Cannot filter the decoded frames: " + ErrorText(ret);
        return false;
    }
    return true;
}

int AudioConverter::Pull(AVFrame* frame) {
    if (!graph_.IsBuilt()) {
        return AVERROR(EAGAIN);
    }
    return graph_.Pull(frame);
}

bool AudioConverter::Build(const Kind& kind, const AVChannelLayout& layout, std::string& error) {
    const std::string source = AudioSourceArgs(timeBase_, kind.sampleRate,
                                               static_cast<AVSampleFormat>(kind.format), layout);
    const std::string chain =
        Format("aresample=%d,aformat=sample_fmts=%s:sample_rates=%d:channel_layouts=%s",
               target_.sampleRate, av_get_sample_fmt_name(target_.sampleFormat), target_.sampleRate,
               target_.layout.Describe().c_str());
    if (!graph_.Build(AVMEDIA_TYPE_AUDIO, source, chain, threads_, error)) {
        return false;
    }
    if (target_.frameSamples > 0) {
        graph_.SetFrameSize(target_.frameSamples);
    }
    kind_ = kind;
    return true;
}

}  // namespace ostrel::engine::ff
