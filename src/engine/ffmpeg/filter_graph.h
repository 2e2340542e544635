// Filter graphs: buffer source → a chain in libavfilter's syntax → buffer sink, and the chains
// the engine builds (the upright turn of phone videos, the user's "-vf" steps, the encoder's
// size, rate and format at the end).
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "engine/ffmpeg/av_util.h"
#include "engine/ffmpeg/display_matrix.h"
#include "engine/ffmpeg/job.h"

namespace ostrel::engine::ff {

class FilterGraph {
  public:
    // Builds source → description → sink for video (type AVMEDIA_TYPE_VIDEO) or audio; an
    // empty description passes frames through. A graph built before is replaced.
    bool Build(AVMediaType type, const std::string& sourceArgs, const std::string& description,
               int threads, std::string& error);
    bool IsBuilt() const { return graph_ != nullptr; }

    // Hands a frame to the graph (null: end of stream); the frame is left empty.
    int Push(AVFrame* frame);
    // Ends the input at endPts (source time base): the end time of the stream, so that a
    // frame-rate filter holds the last picture until then.
    int Close(std::int64_t endPts);
    // The next filtered frame: 0, AVERROR(EAGAIN) when the graph needs more input, AVERROR_EOF
    // after the end, or another error.
    int Pull(AVFrame* frame);

    // What the sink delivers.
    int Width() const;
    int Height() const;
    AVRational SampleAspectRatio() const;
    int Format() const;
    AVRational TimeBase() const;
    // Audio only: every frame but the last has exactly this many samples.
    void SetFrameSize(int samples);

  private:
    FilterGraphPtr graph_;
    AVFilterContext* source_ = nullptr;
    AVFilterContext* sink_ = nullptr;
};

// The user's "-vf" steps as a chain; crop values round down to the chroma grid.
std::string UserChain(const std::vector<FilterStep>& steps);

// Joins chain parts with ","; empty parts are left out.
std::string JoinChain(std::initializer_list<std::string> parts);

// Source arguments for a buffer of the decoder's pictures; sar and frameRate may be unset.
std::string VideoSourceArgs(const AVCodecContext& decoder, AVRational timeBase, AVRational sar,
                            AVRational frameRate);

// Source arguments for an abuffer of audio of this kind.
std::string AudioSourceArgs(AVRational timeBase, int sampleRate, AVSampleFormat sampleFormat,
                            const AVChannelLayout& layout);

}  // namespace ostrel::engine::ff
