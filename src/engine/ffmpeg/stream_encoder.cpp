#include "engine/ffmpeg/stream_encoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

extern "C" {
#include <libavutil/pixdesc.h>
}

#include "engine/codec_levels.h"
#include "engine/ffmpeg/encoder_constraints.h"

namespace ostrel::engine::ff {
namespace {

// SVT-AV1 sets up tables that every encoder of the process shares while it opens one, and two
// opened at once (two tasks starting side by side) crashed about one run in thirty. Its encoders
// are opened and closed one at a time; they encode side by side as any other.
std::mutex& SharedSetupLock() {
    static std::mutex lock;
    return lock;
}

bool OpensOneAtATime(const AVCodec* codec) {
    return codec != nullptr && std::strcmp(codec->name, "libsvtav1") == 0;
}

int MacroblocksOf(int width, int height) {
    return ((width + 15) / 16) * ((height + 15) / 16);
}

// A peak rate and its buffer: the mean rate cannot exceed the peak.
void LimitRate(AVCodecContext& encoder, std::int64_t maxRate, std::int64_t bufferBits) {
    encoder.rc_max_rate = maxRate;
    encoder.rc_buffer_size = static_cast<int>(std::min<std::int64_t>(bufferBits, INT32_MAX));
    if (encoder.bit_rate > maxRate) {
        encoder.bit_rate = maxRate;
    }
    if (encoder.rc_min_rate > maxRate) {
        encoder.rc_min_rate = 0;
    }
}

// x264: the profile, the level and the level's rate limits where no peak rate is given, the
// coding tools, and no more reference frames than the level's picture buffer holds.
void ApplyX264Constraints(const CodecConstraints& c, AVCodecContext& encoder, Dictionary& options) {
    if (!c.profile.empty()) {
        options.Set("profile", c.profile);
    }
    const int levelIdc = c.level <= 0.0   ? 0
                         : c.level < 10.0 ? static_cast<int>(std::lround(c.level * 10.0))
                                          : static_cast<int>(std::lround(c.level));
    const codec::H264Level* level = codec::FindH264Level(levelIdc);
    if (levelIdc > 0) {
        options.Set("level", std::to_string(levelIdc / 10) + "." + std::to_string(levelIdc % 10));
    }
    const std::int64_t highFactor = c.profile == "high" ? 5 : 4;
    std::int64_t maxRate = c.maxRate;
    std::int64_t bufferBits = c.bufferBits;
    if (level != nullptr) {
        if (maxRate <= 0) {
            maxRate = std::int64_t{level->maxVideoKbps} * 1000 * highFactor / 4;
        }
        if (bufferBits <= 0) {
            bufferBits = std::int64_t{level->maxBufferKbit} * 1000 * highFactor / 4;
        }
    }
    if (maxRate > 0) {
        LimitRate(encoder, maxRate, bufferBits > 0 ? bufferBits : maxRate);
    }
    if (c.bFrames >= 0) {
        encoder.max_b_frames = c.bFrames;
    }
    int refs = c.refs;
    if (level != nullptr) {
        const int frameMbs = MacroblocksOf(encoder.width, encoder.height);
        const int dpbRefs = std::clamp(level->maxDpbMbs / std::max(1, frameMbs), 1, 16);
        // The presets use at most 3 reference frames; fewer where the level holds fewer.
        refs = refs > 0 ? std::min(refs, dpbRefs) : (dpbRefs < 3 ? dpbRefs : -1);
    }
    if (refs > 0) {
        encoder.refs = refs;
        if (refs < 4) {
            // A B-pyramid and smart weighted prediction each hold a picture more than the
            // reference frames asked for.
            options.Set("b-pyramid", "none");
            options.Set("weightp", "simple");
        }
    }
    if (c.coder >= 0) {
        options.Set("coder", c.coder == 0 ? "cavlc" : "cabac");
    }
    if (!c.x264Params.empty()) {
        options.Set("x264-params", c.x264Params);
    }
}

// MPEG-4 Part 2: the profile, and the lowest of its levels that holds the picture size, the
// rate and the bit rate, unless a level is given.
void ApplyMpeg4Constraints(const CodecConstraints& c, AVRational frameRate,
                           AVCodecContext& encoder) {
    const bool advancedSimple = c.profile == "advanced_simple";
    if (c.profile == "simple" || advancedSimple) {
        encoder.profile =
            advancedSimple ? FF_PROFILE_MPEG4_ADVANCED_SIMPLE : FF_PROFILE_MPEG4_SIMPLE;
        if (!advancedSimple) {
            encoder.max_b_frames = 0;  // Simple Profile has no B-VOPs
        }
    }
    if (c.maxRate > 0) {
        LimitRate(encoder, c.maxRate, c.bufferBits > 0 ? c.bufferBits : c.maxRate);
    }
    if (encoder.profile == FF_PROFILE_UNKNOWN) {
        return;
    }
    if (c.level > 0.0) {
        encoder.level = static_cast<int>(std::lround(c.level));
        return;
    }
    const std::int64_t peak = std::max(encoder.bit_rate, encoder.rc_max_rate);
    encoder.level =
        codec::ChooseMpeg4Level(advancedSimple, MacroblocksOf(encoder.width, encoder.height),
                                av_q2d(frameRate), peak)
            .level;
}

void ApplyConstraints(const CodecConstraints& c, const VideoEncoderRule& rule, AVRational frameRate,
                      AVCodecContext& encoder, Dictionary& options) {
    if (c.gopSize > 0) {
        encoder.gop_size = c.gopSize;
    }
    if (c.videoTag.size() == 4) {
        encoder.codec_tag = MKTAG(c.videoTag[0], c.videoTag[1], c.videoTag[2], c.videoTag[3]);
    }
    if (rule.takesX264Preset) {
        ApplyX264Constraints(c, encoder, options);
        return;
    }
    if (encoder.codec_id == AV_CODEC_ID_MPEG4 && std::string_view(encoder.codec->name) == "mpeg4") {
        if (c.bFrames >= 0) {
            encoder.max_b_frames = c.bFrames;
        }
        ApplyMpeg4Constraints(c, frameRate, encoder);
        return;
    }
    if (c.bFrames >= 0 && (encoder.codec->capabilities & AV_CODEC_CAP_DELAY) != 0) {
        encoder.max_b_frames = c.bFrames;
    }
    if (c.maxRate > 0) {
        LimitRate(encoder, c.maxRate, c.bufferBits > 0 ? c.bufferBits : c.maxRate);
    }
}

}  // namespace

AVPixelFormat PreferredPixelFormat(const AVCodec& codec, const std::string& requested,
                                   AVPixelFormat fitted) {
    const AVPixelFormat wanted =
        requested.empty() ? AV_PIX_FMT_NONE : av_get_pix_fmt(requested.c_str());
    if (wanted == AV_PIX_FMT_NONE || codec.pix_fmts == nullptr) {
        return fitted;
    }
    for (const AVPixelFormat* format = codec.pix_fmts; *format != AV_PIX_FMT_NONE; ++format) {
        if (*format == wanted) {
            return wanted;
        }
    }
    return fitted;
}

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
    Dictionary options;
    if (settings.constraints != nullptr) {
        ApplyConstraints(*settings.constraints, rule, settings.frameRate, *encoder, options);
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
    if (rule.takesX264Preset) {
        options.Set("preset", settings.x264Preset.empty() ? "medium" : settings.x264Preset);
    }
    if (settings.bitrate == 0 && rule.qualityOption != nullptr) {
        options.Set(rule.qualityOption, rule.qualityValue);
    }
    if (rule.fixedOption != nullptr) {
        options.Set(rule.fixedOption, rule.fixedValue);
    }
    if (settings.options != nullptr) {
        for (const EncoderOption& option : *settings.options) {
            // A video bit rate asks for bit-rate mode: a constant quality would override it.
            if (option.name == "crf" && settings.bitrate > 0) {
                continue;
            }
            if (option.name == "crf" && settings.bitrate < 0) {
                encoder->bit_rate = 0;  // the context's default 200 kbit/s would cap the quality
            }
            options.Set(option.name.c_str(), option.value);
        }
    }
    encoder->color_primaries = settings.colorPrimaries;
    encoder->color_trc = settings.colorTransfer;
    encoder->colorspace = settings.colorSpace;
    encoder->color_range = settings.colorRange;
    if (settings.pass > 0) {
        encoder->flags |= settings.pass == 1 ? AV_CODEC_FLAG_PASS1 : AV_CODEC_FLAG_PASS2;
        const std::string name = settings.codec->name;
        if (name == "libx264") {
            options.Set("stats", settings.statsPath);
        } else if (name == "libx265") {
            // Replaces the rule's own x265-params, whose quiet log level it keeps.
            options.Set("x265-params", Format("log-level=error:pass=%d:stats=%s", settings.pass,
                                              settings.statsPath.c_str()));
        } else if (settings.pass == 2 && !settings.passStats.empty()) {
            encoder->stats_in = av_strdup(settings.passStats.c_str());
        }
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

StreamEncoder::~StreamEncoder() {
    if (context_ && OpensOneAtATime(context_->codec)) {
        const std::lock_guard setup(SharedSetupLock());
        context_.reset();
    }
}

bool StreamEncoder::Open(Dictionary& options, std::string& error) {
    packet_.reset(av_packet_alloc());
    if (!packet_) {
        error = "Out of memory";
        context_.reset();
        return false;
    }
    const AVCodec* codec = context_->codec;
    std::unique_lock setup(SharedSetupLock(), std::defer_lock);
    if (OpensOneAtATime(codec)) {
        setup.lock();
    }
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
