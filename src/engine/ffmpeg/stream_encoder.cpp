#include "engine/ffmpeg/stream_encoder.h"

#include <algorithm>

#include "engine/ffmpeg/encoder_constraints.h"

namespace ostrel::engine::ff {

bool StreamEncoder::OpenVideo(const VideoEncoderSettings& settings, std::string& error) {
    context_.reset(avcodec_alloc_context3(settings.codec));
    if (!context_) {
        error = "Out of memory";
        return false;
    }
    const VideoEncoderRule& rule = VideoRuleFor(settings.codec->name);
    AVCodecContext* encoder = context_.get();
    encoder->width = settings.width;
    encoder->height = settings.height;
    encoder->sample_aspect_ratio = settings.sampleAspectRatio;
    encoder->pix_fmt = settings.pixelFormat;
    encoder->time_base = av_inv_q(settings.frameRate);
    encoder->framerate = settings.frameRate;
    // As many frame threads as the task's share: the decoder runs on a thread of its own
    // beside them, and more x264 threads hold more pictures without finishing sooner.
    encoder->thread_count = std::max(1, settings.threads);
    if (settings.bitrate > 0 || (settings.bitrate == 0 && rule.zeroBitrateIsQuality)) {
        encoder->bit_rate = settings.bitrate;
    }
    if (settings.target != nullptr && settings.target->set) {
        const TargetSettings& target = *settings.target;
        encoder->gop_size = target.gopSize;
        encoder->rc_max_rate = std::max(target.maxRate, encoder->bit_rate);
        encoder->rc_min_rate = std::min(target.minRate, encoder->bit_rate);
        encoder->rc_buffer_size = target.bufferSize;
    }
    if (rule.maxFrameBytes > 0 && encoder->rc_buffer_size == 0) {
        // A rate-control buffer of the largest frame, refilled at once: frames are coded more
        // coarsely rather than grow past it. The mean rate cannot exceed one buffer a frame.
        const std::int64_t bufferBits = std::int64_t{rule.maxFrameBytes} * 8;
        const std::int64_t mostBitrate = av_rescale_q(bufferBits, settings.frameRate, {1, 1});
        encoder->rc_buffer_size = static_cast<int>(bufferBits);
        encoder->rc_max_rate = mostBitrate;
        encoder->bit_rate = std::min(encoder->bit_rate, mostBitrate * 9 / 10);
    }
    if (settings.globalHeader) {
        encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    Dictionary options;
    if (rule.takesX264Preset) {
        options.Set("preset", settings.x264Preset.empty() ? "medium" : settings.x264Preset);
    }
    if (settings.bitrate == 0 && rule.qualityOption != nullptr) {
        options.Set(rule.qualityOption, rule.qualityValue);
    }
    return Open(options, error);
}

bool StreamEncoder::OpenAudio(const AudioEncoderSettings& settings, std::string& error) {
    context_.reset(avcodec_alloc_context3(settings.codec));
    if (!context_) {
        error = "Out of memory";
        return false;
    }
    AVCodecContext* encoder = context_.get();
    encoder->sample_rate = settings.sampleRate;
    av_channel_layout_copy(&encoder->ch_layout, &settings.layout.Get());
    encoder->sample_fmt = settings.sampleFormat;
    encoder->time_base = {1, settings.sampleRate};
    encoder->thread_count = settings.threads;
    if (settings.bitrate > 0) {
        encoder->bit_rate = settings.bitrate;
    }
    if (settings.globalHeader) {
        encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    Dictionary options;
    return Open(options, error);
}

bool StreamEncoder::Open(Dictionary& options, std::string& error) {
    packet_.reset(av_packet_alloc());
    if (!packet_) {
        error = "Out of memory";
        context_.reset();
        return false;
    }
    const AVCodec* codec = context_->codec;
    const int ret = avcodec_open2(context_.get(), codec, options.Address());
    if (ret < 0) {
        error = std::string("Cannot open the ") + codec->name + " encoder: " + ErrorText(ret);
        context_.reset();
        return false;
    }
    flushed_ = false;
    return true;
}

bool StreamEncoder::Encode(const AVFrame* frame, const PacketSink& sink, std::string& error) {
    if (flushed_) {
        return true;
    }
    auto fail = [&](int code) {
        error = std::string("Cannot encode with ") + context_->codec->name + ": " + ErrorText(code);
        return false;
    };
    int ret = avcodec_send_frame(context_.get(), frame);
    if (ret < 0) {
        return fail(ret);
    }
    flushed_ = frame == nullptr;
    for (;;) {
        ret = avcodec_receive_packet(context_.get(), packet_.get());
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) {
            return true;
        }
        if (ret < 0) {
            return fail(ret);
        }
        const bool more = sink(packet_.get());
        av_packet_unref(packet_.get());
        if (!more) {
            return false;
        }
    }
}

}  // namespace ostrel::engine::ff
