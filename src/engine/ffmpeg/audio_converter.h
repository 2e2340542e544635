// Sound format conversion: decoded frames of any rate, sample format and layout in, frames of
// one target format out (abuffer → aresample → aformat → abuffersink). Both the conversion
// (into the encoder's format, in frames of its size) and the preview (into the sound device's
// format) convert through it. A stream that changes its format mid-stream gets a new graph
// (the old graph's last partial frame is dropped) instead of failing.
#pragma once

#include <string>

#include "engine/ffmpeg/av_util.h"
#include "engine/ffmpeg/filter_graph.h"

namespace ostrel::engine::ff {

struct AudioTarget {
    int sampleRate = 0;
    AVSampleFormat sampleFormat = AV_SAMPLE_FMT_NONE;
    ChannelLayout layout;
    int frameSamples = 0;  // every frame but the last has this many samples; 0: any
};

class AudioConverter {
  public:
    // timeBase is that of the frames pushed; threads are libavfilter's.
    void SetTarget(AudioTarget target, AVRational timeBase, int threads = 1);

    // Hands a decoded frame over (null: the end of the stream); the frame is left empty. On
    // failure error holds the reason.
    bool Push(AVFrame* frame, std::string& error);
    // The next converted frame: 0, AVERROR(EAGAIN) when more input is needed, AVERROR_EOF after
    // the end, or another error.
    int Pull(AVFrame* frame);
    bool IsBuilt() const { return graph_.IsBuilt(); }
    // The time base of the converted frames.
    AVRational TimeBase() const { return graph_.TimeBase(); }

  private:
    struct Kind {
        int sampleRate = 0;
        int format = AV_SAMPLE_FMT_NONE;
        int channels = 0;
        bool operator==(const Kind&) const = default;
    };
    bool Build(const Kind& kind, const AVChannelLayout& layout, std::string& error);

    AudioTarget target_;
    AVRational timeBase_{1, 1};
    int threads_ = 1;
    Kind kind_;
    FilterGraph graph_;
};

}  // namespace ostrel::engine::ff
