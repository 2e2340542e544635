#include "engine/ffmpeg/filter_graph.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cmath>

#include "engine/ffmpeg/input.h"

namespace ostrel::engine::ff {

bool FilterGraph::Build(AVMediaType type, const std::string& sourceArgs,
                        const std::string& description, int threads, std::string& error) {
    const bool video = type == AVMEDIA_TYPE_VIDEO;
    graph_.reset(avfilter_graph_alloc());
    source_ = nullptr;
    sink_ = nullptr;
    FilterInOutPtr outputs(avfilter_inout_alloc());
    FilterInOutPtr inputs(avfilter_inout_alloc());
    if (!graph_ || !outputs || !inputs) {
        error = "Out of memory";
        return false;
    }
    graph_->nb_threads = threads;
    if (video) {
        av_opt_set(graph_.get(), "scale_sws_opts", "flags=bicubic", 0);
    }
    int ret =
        avfilter_graph_create_filter(&source_, avfilter_get_by_name(video ? "buffer" : "abuffer"),
                                     "in", sourceArgs.c_str(), nullptr, graph_.get());
    if (ret >= 0) {
        ret = avfilter_graph_create_filter(
            &sink_, avfilter_get_by_name(video ? "buffersink" : "abuffersink"), "out", nullptr,
            nullptr, graph_.get());
    }
    if (ret < 0) {
        error = "Cannot create the filters: " + ErrorText(ret);
        graph_.reset();
        return false;
    }
    outputs->name = av_strdup("in");
    outputs->filter_ctx = source_;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = sink_;
    const std::string chain = description.empty() ? (video ? "null" : "anull") : description;
    AVFilterInOut* inputsList = inputs.release();
    AVFilterInOut* outputsList = outputs.release();
    ret = avfilter_graph_parse_ptr(graph_.get(), chain.c_str(), &inputsList, &outputsList, nullptr);
    inputs.reset(inputsList);  // what parsing left over is freed with the owners
    outputs.reset(outputsList);
    if (ret >= 0) {
        ret = avfilter_graph_config(graph_.get(), nullptr);
    }
    if (ret < 0) {
        error = "Cannot set up the filters \"" + chain + "\": " + ErrorText(ret);
        graph_.reset();
        return false;
    }
    return true;
}

int FilterGraph::Push(AVFrame* frame) {
    return av_buffersrc_add_frame_flags(source_, frame, 0);
}

int FilterGraph::Close(std::int64_t endPts) {
    return av_buffersrc_close(source_, endPts, AV_BUFFERSRC_FLAG_PUSH);
}

int FilterGraph::Pull(AVFrame* frame) {
    return av_buffersink_get_frame(sink_, frame);
}

int FilterGraph::Width() const {
    return av_buffersink_get_w(sink_);
}

int FilterGraph::Height() const {
    return av_buffersink_get_h(sink_);
}

AVRational FilterGraph::SampleAspectRatio() const {
    return av_buffersink_get_sample_aspect_ratio(sink_);
}

int FilterGraph::Format() const {
    return av_buffersink_get_format(sink_);
}

AVRational FilterGraph::TimeBase() const {
    return av_buffersink_get_time_base(sink_);
}

void FilterGraph::SetFrameSize(int samples) {
    av_buffersink_set_frame_size(sink_, static_cast<unsigned>(samples));
}

namespace {

std::string StepFilter(const FilterStep& step) {
    switch (step.kind) {
        case FilterStep::Kind::Crop: {
            // Crop on the chroma grid of 4:2:0 pictures: every value rounds down to even.
            const int width = std::max(2, step.width & ~1);
            const int height = std::max(2, step.height & ~1);
            if (step.x >= 0 && step.y >= 0) {
                return Format("crop=%d:%d:%d:%d", width, height, step.x & ~1, step.y & ~1);
            }
            return Format("crop=%d:%d", width, height);
        }
        case FilterStep::Kind::Scale:
            return Format("scale=%d:%d", step.width, step.height);
        case FilterStep::Kind::VFlip:
            return "vflip";
        case FilterStep::Kind::HFlip:
            return "hflip";
        case FilterStep::Kind::Rotate:
            return RotationFilter(step.degrees);
        case FilterStep::Kind::None:
            break;
    }
    return {};
}

void Append(std::string& chain, const std::string& part) {
    if (part.empty()) {
        return;
    }
    if (!chain.empty()) {
        chain += ',';
    }
    chain += part;
}

}  // namespace

std::string UserChain(const std::vector<FilterStep>& steps) {
    std::string chain;
    for (const FilterStep& step : steps) {
        Append(chain, StepFilter(step));
    }
    return chain;
}

std::string JoinChain(std::initializer_list<std::string> parts) {
    std::string chain;
    for (const std::string& part : parts) {
        Append(chain, part);
    }
    return chain;
}

std::string VideoSourceArgs(const AVCodecContext& decoder, AVRational timeBase, AVRational sar,
                            AVRational frameRate) {
    std::string args = Format("video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d",
                              decoder.width, decoder.height, decoder.pix_fmt, timeBase.num,
                              timeBase.den, sar.num > 0 ? sar.num : 0, sar.den > 0 ? sar.den : 1);
    if (frameRate.num > 0 && frameRate.den > 0) {
        args += Format(":frame_rate=%d/%d", frameRate.num, frameRate.den);
    }
    return args;
}

std::string AudioSourceArgs(AVRational timeBase, int sampleRate, AVSampleFormat sampleFormat,
                            const AVChannelLayout& layout) {
    return Format("time_base=%d/%d:sample_rate=%d:sample_fmt=%s:channel_layout=%s", timeBase.num,
                  timeBase.den, sampleRate, av_get_sample_fmt_name(sampleFormat),
                  ChannelLayout::Ordered(layout).Describe().c_str());
}

}  // namespace ostrel::engine::ff
