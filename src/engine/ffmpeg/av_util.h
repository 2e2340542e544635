// Small RAII owners for libav objects and the one place where AVERROR becomes text.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <cstdio>
#include <memory>
#include <string>

namespace ostrel::engine::ff {

// A picture's width and height, which travel together.
struct PictureSize {
    int width = 0;
    int height = 0;
    bool operator==(const PictureSize&) const = default;
};

struct InputContextDeleter {
    void operator()(AVFormatContext* ctx) const { avformat_close_input(&ctx); }
};
struct OutputContextDeleter {
    void operator()(AVFormatContext* ctx) const {
        if (ctx != nullptr && ctx->pb != nullptr && !(ctx->oformat->flags & AVFMT_NOFILE)) {
            avio_closep(&ctx->pb);
        }
        avformat_free_context(ctx);
    }
};
struct CodecContextDeleter {
    // A second pass's statistics (stats_in) belong to the caller, which libavcodec leaves to
    // free.
    void operator()(AVCodecContext* ctx) const {
        if (ctx != nullptr) {
            av_freep(&ctx->stats_in);
        }
        avcodec_free_context(&ctx);
    }
};
struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FilterGraphDeleter {
    void operator()(AVFilterGraph* graph) const { avfilter_graph_free(&graph); }
};
struct FilterInOutDeleter {
    void operator()(AVFilterInOut* inOut) const { avfilter_inout_free(&inOut); }
};
struct SwsContextDeleter {
    void operator()(SwsContext* ctx) const { sws_freeContext(ctx); }
};
struct SwrContextDeleter {
    void operator()(SwrContext* ctx) const { swr_free(&ctx); }
};

using InputContextPtr = std::unique_ptr<AVFormatContext, InputContextDeleter>;
using OutputContextPtr = std::unique_ptr<AVFormatContext, OutputContextDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using FilterGraphPtr = std::unique_ptr<AVFilterGraph, FilterGraphDeleter>;
using FilterInOutPtr = std::unique_ptr<AVFilterInOut, FilterInOutDeleter>;
using SwsContextPtr = std::unique_ptr<SwsContext, SwsContextDeleter>;
using SwrContextPtr = std::unique_ptr<SwrContext, SwrContextDeleter>;

// Owns an AVChannelLayout (a custom order holds an allocated map); copies are deep.
class ChannelLayout {
  public:
    ChannelLayout() = default;
    explicit ChannelLayout(const AVChannelLayout& layout) {
        av_channel_layout_copy(&layout_, &layout);
    }
    ChannelLayout(const ChannelLayout& other) : ChannelLayout(other.layout_) {}
    ChannelLayout& operator=(const ChannelLayout& other) {
        if (this != &other) {
            av_channel_layout_uninit(&layout_);
            av_channel_layout_copy(&layout_, &other.layout_);
        }
        return *this;
    }
    ~ChannelLayout() { av_channel_layout_uninit(&layout_); }

    // The default layout for a channel count (FFmpeg's order for 1..8 channels).
    static ChannelLayout Default(int channels) {
        ChannelLayout layout;
        av_channel_layout_default(&layout.layout_, channels);
        return layout;
    }
    // The same channels in the default order when the layout has none.
    static ChannelLayout Ordered(const AVChannelLayout& layout) {
        return layout.order == AV_CHANNEL_ORDER_UNSPEC ? Default(layout.nb_channels)
                                                       : ChannelLayout(layout);
    }

    const AVChannelLayout& Get() const { return layout_; }
    int Channels() const { return layout_.nb_channels; }
    // "stereo", "5.1(side)", …
    std::string Describe() const {
        char text[128] = {};
        av_channel_layout_describe(&layout_, text, sizeof(text));
        return text;
    }

  private:
    AVChannelLayout layout_{};
};

// Owns an AVDictionary of options handed to an open call.
class Dictionary {
  public:
    Dictionary() = default;
    Dictionary(const Dictionary&) = delete;
    Dictionary& operator=(const Dictionary&) = delete;
    ~Dictionary() { av_dict_free(&dict_); }
    void Set(const char* key, const std::string& value) {
        av_dict_set(&dict_, key, value.c_str(), 0);
    }
    AVDictionary** Address() { return &dict_; }
    AVDictionary* Get() const { return dict_; }

  private:
    AVDictionary* dict_ = nullptr;
};

// printf into a std::string, for filter chains and messages of bounded length.
std::string Format(const char* format, auto... values) {
    char buffer[512];
    std::snprintf(buffer, sizeof(buffer), format, values...);
    return buffer;
}

// A readable text for a libav error code.
inline std::string ErrorText(int errnum) {
    char buffer[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(errnum, buffer, sizeof(buffer));
    return buffer;
}

}  // namespace ostrel::engine::ff
