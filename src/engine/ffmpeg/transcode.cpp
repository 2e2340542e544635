#include "engine/ffmpeg/transcode.h"

#include "engine/ffmpeg/av_util.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
#include <libavutil/display.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <tuple>
#include <utility>
#include <vector>

namespace ostrel::engine::ff {
namespace {

constexpr double kMinimumOutputShare = 0.9;  // shorter outputs count as failed
constexpr auto kProgressInterval = std::chrono::milliseconds(100);

int InterruptCallback(void* opaque) {
    const auto* cancel = static_cast<const std::atomic<bool>*>(opaque);
    return cancel != nullptr && cancel->load() ? 1 : 0;
}

std::string Format(const char* format, auto... values) {
    char buffer[512];
    std::snprintf(buffer, sizeof(buffer), format, values...);
    return buffer;
}

double NormaliseDegrees(double degrees) {
    double normalised = std::fmod(degrees, 360.0);
    if (normalised < 0.0) {
        normalised += 360.0;
    }
    return normalised;
}

// Right angles become exact transposes and flips; other angles use the rotate filter (which
// takes radians) with an output size rounded up to even numbers.
std::string RotationFilter(double degrees) {
    const double angle = NormaliseDegrees(degrees);
    auto near = [angle](double value) { return std::fabs(angle - value) < 0.01; };
    if (near(0.0) || near(360.0)) {
        return {};
    }
    if (near(90.0)) {
        return "transpose=clock";
    }
    if (near(180.0)) {
        return "hflip,vflip";
    }
    if (near(270.0)) {
        return "transpose=cclock";
    }
    const double radians = angle * M_PI / 180.0;
    return Format("rotate=%.10f:ow=ceil(rotw(%.10f)/2)*2:oh=ceil(roth(%.10f)/2)*2", radians,
                  radians, radians);
}

std::string UserChain(const std::vector<FilterStep>& steps) {
    std::string chain;
    auto append = [&chain](const std::string& item) {
        if (item.empty()) {
            return;
        }
        if (!chain.empty()) {
            chain += ',';
        }
        chain += item;
    };
    for (const FilterStep& step : steps) {
        switch (step.kind) {
            case FilterStep::Kind::Crop: {
                // Crop on the chroma grid of 4:2:0 pictures: every value rounds down to even.
                const int width = std::max(2, step.width & ~1);
                const int height = std::max(2, step.height & ~1);
                if (step.x >= 0 && step.y >= 0) {
                    append(Format("crop=%d:%d:%d:%d", width, height, step.x & ~1, step.y & ~1));
                } else {
                    append(Format("crop=%d:%d", width, height));
                }
                break;
            }
            case FilterStep::Kind::Scale:
                append(Format("scale=%d:%d", step.width, step.height));
                break;
            case FilterStep::Kind::VFlip:
                append("vflip");
                break;
            case FilterStep::Kind::HFlip:
                append("hflip");
                break;
            case FilterStep::Kind::Rotate:
                append(RotationFilter(step.degrees));
                break;
            case FilterStep::Kind::None:
                break;
        }
    }
    return chain;
}

std::string JoinChain(std::initializer_list<std::string> parts) {
    std::string chain;
    for (const std::string& part : parts) {
        if (part.empty()) {
            continue;
        }
        if (!chain.empty()) {
            chain += ',';
        }
        chain += part;
    }
    return chain;
}

template <typename T>
T Nearest(const std::vector<T>& allowed, T wanted) {
    T best = allowed.front();
    for (T value : allowed) {
        const auto distance = std::llabs(static_cast<long long>(value) - wanted);
        const auto bestDistance = std::llabs(static_cast<long long>(best) - wanted);
        if (distance < bestDistance) {
            best = value;
        }
    }
    return best;
}

bool SameName(const AVCodec* codec, const char* name) {
    return std::string(codec->name) == name;
}

// The frame rates MPEG-1 and MPEG-2 video can signal.
AVRational SnapMpegFrameRate(AVRational rate, bool mpeg2) {
    std::vector<AVRational> allowed = {{24000, 1001}, {24, 1}, {25, 1},       {30000, 1001},
                                       {30, 1},       {50, 1}, {60000, 1001}, {60, 1}};
    if (mpeg2) {
        allowed.push_back({15, 1});
    }
    AVRational best = allowed.front();
    for (const AVRational& candidate : allowed) {
        if (std::fabs(av_q2d(candidate) - av_q2d(rate)) < std::fabs(av_q2d(best) - av_q2d(rate))) {
            best = candidate;
        }
    }
    return best;
}

// mp2 bit rates (kbit/s) for MPEG-1 rates and for the half rates below 32 kHz.
std::int64_t SnapMp2Bitrate(std::int64_t bitrate, int sampleRate) {
    const std::vector<std::int64_t> high = {32,  48,  56,  64,  80,  96,  112,
                                            128, 160, 192, 224, 256, 320, 384};
    const std::vector<std::int64_t> low = {8,  16, 24, 32,  40,  48,  56,
                                           64, 80, 96, 112, 128, 144, 160};
    return Nearest(sampleRate >= 32000 ? high : low, bitrate / 1000) * 1000;
}

std::int64_t SnapAc3Bitrate(std::int64_t bitrate) {
    const std::vector<std::int64_t> table = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                                             192, 224, 256, 320, 384, 448, 512, 576, 640};
    return Nearest(table, bitrate / 1000) * 1000;
}

bool IsH263Size(int width, int height) {
    const std::array<std::pair<int, int>, 5> sizes = {
        {{128, 96}, {176, 144}, {352, 288}, {704, 576}, {1408, 1152}}};
    return std::any_of(sizes.begin(), sizes.end(), [&](const auto& size) {
        return size.first == width && size.second == height;
    });
}

std::pair<int, int> NearestH263Size(int width, int height) {
    const std::array<std::pair<int, int>, 5> sizes = {
        {{128, 96}, {176, 144}, {352, 288}, {704, 576}, {1408, 1152}}};
    std::pair<int, int> best = sizes[1];
    double bestDistance = 1e18;
    for (const auto& size : sizes) {
        const double distance =
            std::fabs(static_cast<double>(size.first) * size.second - double(width) * height);
        if (distance < bestDistance) {
            best = size;
            bestDistance = distance;
        }
    }
    return best;
}

// Picture size granularity an encoder needs.
int SizeAlignment(const AVCodec* codec) {
    if (SameName(codec, "rv10")) {
        return 16;
    }
    if (SameName(codec, "rv20") || SameName(codec, "h263")) {
        return 4;
    }
    return 2;  // 4:2:0 pictures, libx264, libxvid, wmv1/2
}

struct StreamPath {
    int inputIndex = -1;
    AVStream* inStream = nullptr;
    CodecContextPtr decoder;
    CodecContextPtr encoder;
    FilterGraphPtr graph;
    AVFilterContext* source = nullptr;
    AVFilterContext* sink = nullptr;
    AVStream* outStream = nullptr;
    std::int64_t startPts = 0;                    // input start time in the stream's time base
    std::int64_t nextPts = AV_NOPTS_VALUE;        // next decoded audio frame, stream time base
    std::int64_t nextEncodePts = AV_NOPTS_VALUE;  // next audio frame to encode, encoder time base
    std::int64_t framesDecoded = 0;
    bool encoderFlushed = false;
};

class Task {
  public:
    explicit Task(const TranscodeRequest& request)
        : request_(request), temporaryPath_(TemporaryPathFor(request.outputPath)) {}

    ~Task() {
        output_.reset();
        if (!keepOutput_) {
            std::remove(temporaryPath_.c_str());
        }
    }

    TranscodeResult Run() {
        const bool ok = OpenInput() && SelectStreams() && CreateOutputContext() && SetupVideo() &&
                        SetupAudio() && OpenOutput() && Convert() && Finish();
        if (ok) {
            return {TranscodeStatus::Succeeded, {}};
        }
        if (Cancelled()) {
            return {TranscodeStatus::Stopped, {}};
        }
        return {TranscodeStatus::Failed, error_};
    }

  private:
    bool Fail(const std::string& text) {
        if (error_.empty()) {
            error_ = text;
        }
        return false;
    }
    bool FailAv(const std::string& what, int errnum) {
        return Fail(what + ": " + ErrorText(errnum));
    }
    bool Cancelled() const { return request_.cancel != nullptr && request_.cancel->load(); }
    const EncodeJob& Job() const { return request_.job; }

    bool OpenInput() {
        AVFormatContext* context = avformat_alloc_context();
        if (context == nullptr) {
            return Fail("Out of memory");
        }
        context->interrupt_callback = {InterruptCallback,
                                       const_cast<std::atomic<bool>*>(request_.cancel)};
        int ret = avformat_open_input(&context, request_.inputPath.c_str(), nullptr, nullptr);
        if (ret < 0) {
            return FailAv("Cannot open the input file", ret);
        }
        input_.reset(context);
        ret = avformat_find_stream_info(input_.get(), nullptr);
        if (ret < 0) {
            return FailAv("Cannot read the input file", ret);
        }
        if (input_->duration > 0) {
            inputDurationUs_ = input_->duration;
        }
        return true;
    }

    bool SelectStreams() {
        for (unsigned i = 0; i < input_->nb_streams; ++i) {
            AVStream* stream = input_->streams[i];
            const AVMediaType type = stream->codecpar->codec_type;
            if (type == AVMEDIA_TYPE_VIDEO && video_.inputIndex < 0 &&
                !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC) &&
                avcodec_find_decoder(stream->codecpar->codec_id) != nullptr) {
                video_.inputIndex = static_cast<int>(i);
                video_.inStream = stream;
            } else if (type == AVMEDIA_TYPE_AUDIO && audio_.inputIndex < 0 &&
                       avcodec_find_decoder(stream->codecpar->codec_id) != nullptr) {
                audio_.inputIndex = static_cast<int>(i);
                audio_.inStream = stream;
            }
        }
        wantVideo_ = video_.inputIndex >= 0 && !Job().noVideo && !request_.container.audioOnly;
        wantAudio_ = audio_.inputIndex >= 0 && !Job().noAudio;
        if (!wantVideo_ && !wantAudio_) {
            return Fail("The input has no stream to convert for this output");
        }
        // The length the output must reach: the longest stream that is converted.
        for (StreamPath* path : {wantVideo_ ? &video_ : nullptr, wantAudio_ ? &audio_ : nullptr}) {
            if (path == nullptr) {
                continue;
            }
            const AVStream* stream = path->inStream;
            if (stream->duration > 0) {
                expectedUs_ = std::max(
                    expectedUs_, av_rescale_q(stream->duration, stream->time_base, AV_TIME_BASE_Q));
            }
            if (input_->start_time != AV_NOPTS_VALUE) {
                path->startPts =
                    av_rescale_q(input_->start_time, AV_TIME_BASE_Q, stream->time_base);
            }
        }
        if (expectedUs_ <= 0) {
            expectedUs_ = inputDurationUs_;
        }
        return true;
    }

    bool OpenDecoder(StreamPath& path) {
        const AVCodec* codec = avcodec_find_decoder(path.inStream->codecpar->codec_id);
        path.decoder.reset(avcodec_alloc_context3(codec));
        if (!path.decoder) {
            return Fail("Out of memory");
        }
        int ret = avcodec_parameters_to_context(path.decoder.get(), path.inStream->codecpar);
        if (ret < 0) {
            return FailAv("Cannot read the input's stream parameters", ret);
        }
        path.decoder->pkt_timebase = path.inStream->time_base;
        path.decoder->thread_count = request_.threads;
        if (codec->type == AVMEDIA_TYPE_VIDEO) {
            path.decoder->framerate = av_guess_frame_rate(input_.get(), path.inStream, nullptr);
        }
        ret = avcodec_open2(path.decoder.get(), codec, nullptr);
        if (ret < 0) {
            return FailAv(std::string("Cannot open the ") + codec->name + " decoder", ret);
        }
        return true;
    }

    // Builds buffer source → chain → buffer sink; an empty chain passes frames through.
    bool BuildGraph(bool video, const std::string& sourceArgs, const std::string& chain,
                    FilterGraphPtr& graph, AVFilterContext*& source, AVFilterContext*& sink) {
        graph.reset(avfilter_graph_alloc());
        if (!graph) {
            return Fail("Out of memory");
        }
        graph->nb_threads = request_.threads;
        if (video) {
            av_opt_set(graph.get(), "scale_sws_opts", "flags=bicubic", 0);
        }
        const AVFilter* sourceFilter = avfilter_get_by_name(video ? "buffer" : "abuffer");
        const AVFilter* sinkFilter = avfilter_get_by_name(video ? "buffersink" : "abuffersink");
        int ret = avfilter_graph_create_filter(&source, sourceFilter, "in", sourceArgs.c_str(),
                                               nullptr, graph.get());
        if (ret >= 0) {
            ret = avfilter_graph_create_filter(&sink, sinkFilter, "out", nullptr, nullptr,
                                               graph.get());
        }
        if (ret < 0) {
            return FailAv("Cannot create the filters", ret);
        }
        AVFilterInOut* outputs = avfilter_inout_alloc();
        AVFilterInOut* inputs = avfilter_inout_alloc();
        if (outputs == nullptr || inputs == nullptr) {
            avfilter_inout_free(&outputs);
            avfilter_inout_free(&inputs);
            return Fail("Out of memory");
        }
        outputs->name = av_strdup("in");
        outputs->filter_ctx = source;
        inputs->name = av_strdup("out");
        inputs->filter_ctx = sink;
        const std::string description = chain.empty() ? (video ? "null" : "anull") : chain;
        ret =
            avfilter_graph_parse_ptr(graph.get(), description.c_str(), &inputs, &outputs, nullptr);
        avfilter_inout_free(&outputs);
        avfilter_inout_free(&inputs);
        if (ret >= 0) {
            ret = avfilter_graph_config(graph.get(), nullptr);
        }
        if (ret < 0) {
            return FailAv("Cannot set up the filters \"" + description + "\"", ret);
        }
        return true;
    }

    bool SetupVideo() {
        if (!wantVideo_) {
            return true;
        }
        if (!OpenDecoder(video_)) {
            return false;
        }
        AVCodecContext* decoder = video_.decoder.get();
        if (decoder->pix_fmt == AV_PIX_FMT_NONE || decoder->width <= 0 || decoder->height <= 0) {
            return Fail("The input's video format is unknown");
        }
        AVRational inputRate = decoder->framerate;
        const AVRational sar = av_guess_sample_aspect_ratio(input_.get(), video_.inStream, nullptr);
        std::string sourceArgs = Format(
            "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", decoder->width,
            decoder->height, decoder->pix_fmt, video_.inStream->time_base.num,
            video_.inStream->time_base.den, sar.num > 0 ? sar.num : 0, sar.den > 0 ? sar.den : 1);
        if (inputRate.num > 0 && inputRate.den > 0) {
            sourceArgs += Format(":frame_rate=%d/%d", inputRate.num, inputRate.den);
        }
        // Phone videos are turned upright first, then the user's chain runs.
        const std::string upright = RotationFilter(DisplayRotationDegrees(video_.inStream));
        const std::string userChain = UserChain(Job().filters);
        const std::string firstPart = JoinChain({upright, userChain});

        // A trial graph tells the size and aspect the chain produces.
        FilterGraphPtr trialGraph;
        AVFilterContext* trialSource = nullptr;
        AVFilterContext* trialSink = nullptr;
        if (!BuildGraph(true, sourceArgs, firstPart, trialGraph, trialSource, trialSink)) {
            return false;
        }
        const int chainWidth = av_buffersink_get_w(trialSink);
        const int chainHeight = av_buffersink_get_h(trialSink);
        trialGraph.reset();

        // Encoder and the constraints it puts on size, rate and pixel format.
        std::string codecName =
            Job().videoCodec.empty() ? request_.container.videoCodec : Job().videoCodec;
        int width = Job().width > 0 ? Job().width : chainWidth;
        int height = Job().height > 0 ? Job().height : chainHeight;
        if (Job().videoCodec.empty() && request_.container.muxer == "3gp") {
            codecName = IsH263Size(width, height) ? "h263" : "mpeg4";
        }
        const AVCodec* codec = avcodec_find_encoder_by_name(ResolveEncoderName(codecName).c_str());
        if (codec == nullptr) {
            return Fail("The video encoder " + codecName + " is not available");
        }
        if (SameName(codec, "h263") && !IsH263Size(width, height)) {
            std::tie(width, height) = NearestH263Size(width, height);
        }
        const int alignment = SizeAlignment(codec);
        width = std::max(alignment, width / alignment * alignment);
        height = std::max(alignment, height / alignment * alignment);

        AVPixelFormat pixelFormat = AV_PIX_FMT_YUV420P;
        if (!SameName(codec, "libx264") && codec->pix_fmts != nullptr) {
            pixelFormat = codec->pix_fmts[0];
            for (const AVPixelFormat* format = codec->pix_fmts; *format != AV_PIX_FMT_NONE;
                 ++format) {
                if (*format == AV_PIX_FMT_YUV420P) {
                    pixelFormat = AV_PIX_FMT_YUV420P;
                    break;
                }
            }
        }

        AVRational rate = Job().frameRate.IsSet()
                              ? AVRational{Job().frameRate.num, Job().frameRate.den}
                              : inputRate;
        if (rate.num <= 0 || rate.den <= 0 || av_q2d(rate) > 1000.0) {
            rate = {25, 1};
        }
        if (SameName(codec, "mpeg1video") || SameName(codec, "mpeg2video")) {
            rate = SnapMpegFrameRate(rate, SameName(codec, "mpeg2video"));
        }
        av_reduce(&rate.num, &rate.den, rate.num, rate.den, 65535);

        // The scale always closes the chain: it is free when the size already fits, and it
        // keeps the encoder's size should the input change its picture size mid-stream.
        std::string tail = Format("scale=%d:%d", width, height);
        if (Job().aspect.IsSet()) {
            tail = JoinChain({tail, Format("setdar=%d/%d", Job().aspect.num, Job().aspect.den)});
        }
        tail = JoinChain({tail, Format("fps=%d/%d", rate.num, rate.den),
                          std::string("format=") + av_get_pix_fmt_name(pixelFormat)});
        if (!BuildGraph(true, sourceArgs, JoinChain({firstPart, tail}), video_.graph, video_.source,
                        video_.sink)) {
            return false;
        }

        video_.encoder.reset(avcodec_alloc_context3(codec));
        AVCodecContext* encoder = video_.encoder.get();
        if (encoder == nullptr) {
            return Fail("Out of memory");
        }
        encoder->width = av_buffersink_get_w(video_.sink);
        encoder->height = av_buffersink_get_h(video_.sink);
        encoder->sample_aspect_ratio = av_buffersink_get_sample_aspect_ratio(video_.sink);
        encoder->pix_fmt = static_cast<AVPixelFormat>(av_buffersink_get_format(video_.sink));
        encoder->time_base = av_inv_q(rate);
        encoder->framerate = rate;
        encoder->thread_count = request_.threads;
        const TargetSettings& target = Job().target;
        if (Job().videoBitrate > 0) {
            encoder->bit_rate = Job().videoBitrate;
        } else if (Job().videoBitrate == 0 &&
                   (SameName(codec, "libx264") || SameName(codec, "libvpx"))) {
            encoder->bit_rate = 0;  // "0k": no target, the encoder's own quality mode
        }
        if (target.set) {
            encoder->gop_size = target.gopSize;
            encoder->rc_max_rate = std::max(target.maxRate, encoder->bit_rate);
            encoder->rc_min_rate = std::min(target.minRate, encoder->bit_rate);
            encoder->rc_buffer_size = target.bufferSize;
        }
        Dictionary options;
        if (SameName(codec, "libx264")) {
            // x264 keeps its frame threads busy with about 1.5 threads per core (its own
            // automatic rule); the ffmpeg tool leaves it on that rule.
            encoder->thread_count = std::max(1, request_.threads * 3 / 2);
            options.Set("preset", Job().x264Preset.empty() ? "medium" : Job().x264Preset);
            if (Job().videoBitrate == 0) {
                options.Set("crf", "23");  // "0k" means no bit rate target
            }
        }
        if (outputFormatNeedsGlobalHeader_) {
            encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
        const int ret = avcodec_open2(encoder, codec, options.Address());
        if (ret < 0) {
            return FailAv(std::string("Cannot open the ") + codec->name + " encoder", ret);
        }
        return true;
    }

    bool OpenAudioEncoder(const AVCodec* codec, int sampleRate, const AVChannelLayout& layout,
                          AVSampleFormat sampleFormat, std::int64_t bitrate) {
        audio_.encoder.reset(avcodec_alloc_context3(codec));
        AVCodecContext* encoder = audio_.encoder.get();
        if (encoder == nullptr) {
            return Fail("Out of memory");
        }
        encoder->sample_rate = sampleRate;
        av_channel_layout_copy(&encoder->ch_layout, &layout);
        encoder->sample_fmt = sampleFormat;
        encoder->time_base = {1, sampleRate};
        encoder->thread_count = request_.threads;
        if (bitrate > 0) {
            encoder->bit_rate = bitrate;
        }
        if (outputFormatNeedsGlobalHeader_) {
            encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
        const int ret = avcodec_open2(encoder, codec, nullptr);
        if (ret < 0) {
            audio_.encoder.reset();
            return FailAv(std::string("Cannot open the ") + codec->name + " encoder", ret);
        }
        return true;
    }

    bool SetupAudio() {
        if (!wantAudio_) {
            return true;
        }
        if (!OpenDecoder(audio_)) {
            return false;
        }
        AVCodecContext* decoder = audio_.decoder.get();
        if (decoder->sample_rate <= 0 || decoder->sample_fmt == AV_SAMPLE_FMT_NONE ||
            decoder->ch_layout.nb_channels <= 0) {
            return Fail("The input's audio format is unknown");
        }
        const std::string codecName =
            Job().audioCodec.empty() ? request_.container.audioCodec : Job().audioCodec;
        const AVCodec* codec = avcodec_find_encoder_by_name(ResolveEncoderName(codecName).c_str());
        if (codec == nullptr) {
            return Fail("The audio encoder " + codecName + " is not available");
        }

        // Sample rate: the nearest one the encoder (and the container) can take.
        int sampleRate = Job().sampleRate > 0 ? Job().sampleRate : decoder->sample_rate;
        const std::string& muxer = request_.container.muxer;
        if ((muxer == "flv" || muxer == "swf") && codec->id == AV_CODEC_ID_MP3) {
            sampleRate = Nearest(std::vector<int>{44100, 22050, 11025}, sampleRate);
        } else if (codec->supported_samplerates != nullptr) {
            std::vector<int> rates;
            for (const int* rate = codec->supported_samplerates; *rate != 0; ++rate) {
                rates.push_back(*rate);
            }
            sampleRate = Nearest(rates, sampleRate);
        }
        if (codec->id == AV_CODEC_ID_WMAV2 || codec->id == AV_CODEC_ID_WMAV1) {
            sampleRate = std::min(sampleRate, 48000);
        }

        // Channels: the wanted count when the encoder has it, else the nearest below.
        int channels = Job().channels > 0 ? Job().channels : decoder->ch_layout.nb_channels;
        if (codec->id == AV_CODEC_ID_WMAV2 || codec->id == AV_CODEC_ID_WMAV1) {
            channels = std::min(channels, 2);
        }
        AVChannelLayout layout{};
        av_channel_layout_default(&layout, channels);
        if (codec->ch_layouts != nullptr) {
            const AVChannelLayout* best = nullptr;
            for (const AVChannelLayout* candidate = codec->ch_layouts; candidate->nb_channels != 0;
                 ++candidate) {
                if (candidate->nb_channels == channels) {
                    best = candidate;
                    break;
                }
                if (candidate->nb_channels < channels &&
                    (best == nullptr || candidate->nb_channels > best->nb_channels)) {
                    best = candidate;
                }
            }
            av_channel_layout_uninit(&layout);
            av_channel_layout_copy(&layout, best != nullptr ? best : codec->ch_layouts);
        }

        AVSampleFormat sampleFormat = decoder->sample_fmt;
        if (codec->sample_fmts != nullptr) {
            sampleFormat = codec->sample_fmts[0];
            for (const AVSampleFormat* format = codec->sample_fmts; *format != AV_SAMPLE_FMT_NONE;
                 ++format) {
                if (*format == decoder->sample_fmt) {
                    sampleFormat = *format;
                    break;
                }
            }
        }

        // Bit rates the encoders accept.
        std::int64_t bitrate = Job().audioBitrate;
        if (bitrate > 0) {
            if (codec->id == AV_CODEC_ID_MP2) {
                bitrate = SnapMp2Bitrate(bitrate, sampleRate);
            } else if (codec->id == AV_CODEC_ID_AC3) {
                bitrate = SnapAc3Bitrate(bitrate);
            } else if (codec->id == AV_CODEC_ID_WMAV2 || codec->id == AV_CODEC_ID_WMAV1) {
                bitrate = std::max<std::int64_t>(bitrate, 24000);
            }
        }
        bool opened = OpenAudioEncoder(codec, sampleRate, layout, sampleFormat, bitrate);
        // libvorbis refuses low rates for some layouts: raise the rate to the lowest it takes.
        if (!opened && SameName(codec, "libvorbis") && bitrate > 0 && !Cancelled()) {
            for (std::int64_t raised = bitrate + 8000; raised <= 512000 && !opened;
                 raised += 8000) {
                error_.clear();
                opened = OpenAudioEncoder(codec, sampleRate, layout, sampleFormat, raised);
            }
        }
        av_channel_layout_uninit(&layout);
        if (!opened) {
            return false;
        }

        return BuildAudioGraph(decoder->sample_rate, decoder->sample_fmt, decoder->ch_layout);
    }

    // abuffer → aresample → aformat → abuffersink for audio of the given kind. Built again
    // when the input changes its audio format mid-stream (the old graph's last partial frame is
    // dropped) instead of failing the task.
    bool BuildAudioGraph(int sampleRate, AVSampleFormat sampleFormat,
                         const AVChannelLayout& layout) {
        AVCodecContext* encoder = audio_.encoder.get();
        AVChannelLayout sourceLayout{};
        if (layout.order == AV_CHANNEL_ORDER_UNSPEC) {
            av_channel_layout_default(&sourceLayout, layout.nb_channels);
        } else {
            av_channel_layout_copy(&sourceLayout, &layout);
        }
        char sourceLayoutText[128] = {};
        av_channel_layout_describe(&sourceLayout, sourceLayoutText, sizeof(sourceLayoutText));
        av_channel_layout_uninit(&sourceLayout);
        char targetLayoutText[128] = {};
        av_channel_layout_describe(&encoder->ch_layout, targetLayoutText, sizeof(targetLayoutText));
        const std::string sourceArgs =
            Format("time_base=%d/%d:sample_rate=%d:sample_fmt=%s:channel_layout=%s",
                   audio_.inStream->time_base.num, audio_.inStream->time_base.den, sampleRate,
                   av_get_sample_fmt_name(sampleFormat), sourceLayoutText);
        const std::string chain =
            Format("aresample=%d,aformat=sample_fmts=%s:sample_rates=%d:channel_layouts=%s",
                   encoder->sample_rate, av_get_sample_fmt_name(encoder->sample_fmt),
                   encoder->sample_rate, targetLayoutText);
        if (!BuildGraph(false, sourceArgs, chain, audio_.graph, audio_.source, audio_.sink)) {
            return false;
        }
        // Encoders without variable frame sizes get frames of exactly their size.
        if (!(encoder->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) &&
            encoder->frame_size > 0) {
            av_buffersink_set_frame_size(audio_.sink, static_cast<unsigned>(encoder->frame_size));
        }
        audioSourceRate_ = sampleRate;
        audioSourceFormat_ = sampleFormat;
        audioSourceChannels_ = layout.nb_channels;
        return true;
    }

    bool AddOutputStream(StreamPath& path) {
        path.outStream = avformat_new_stream(output_.get(), nullptr);
        if (path.outStream == nullptr) {
            return Fail("Out of memory");
        }
        const int ret =
            avcodec_parameters_from_context(path.outStream->codecpar, path.encoder.get());
        if (ret < 0) {
            return FailAv("Cannot set up the output stream", ret);
        }
        path.outStream->time_base = path.encoder->time_base;
        // The encoder's buffer properties tell muxers such as MPEG-PS their rates and sizes.
        for (int i = 0; i < path.encoder->nb_coded_side_data; ++i) {
            const AVPacketSideData& data = path.encoder->coded_side_data[i];
            std::uint8_t* copy = av_stream_new_side_data(path.outStream, data.type, data.size);
            if (copy == nullptr) {
                return Fail("Out of memory");
            }
            std::memcpy(copy, data.data, data.size);
        }
        if (path.encoder->codec_type == AVMEDIA_TYPE_VIDEO) {
            path.outStream->sample_aspect_ratio = path.encoder->sample_aspect_ratio;
            path.outStream->avg_frame_rate = path.encoder->framerate;
        }
        return true;
    }

    bool CreateOutputContext() {
        AVFormatContext* context = nullptr;
        const int ret = avformat_alloc_output_context2(
            &context, nullptr, request_.container.muxer.c_str(), temporaryPath_.c_str());
        if (ret < 0 || context == nullptr) {
            return FailAv("Cannot use the output format " + request_.container.muxer, ret);
        }
        output_.reset(context);
        outputFormatNeedsGlobalHeader_ = (context->oformat->flags & AVFMT_GLOBALHEADER) != 0;
        return true;
    }

    bool OpenOutput() {
        if (!output_ && !CreateOutputContext()) {
            return false;
        }
        if ((wantVideo_ && !AddOutputStream(video_)) || (wantAudio_ && !AddOutputStream(audio_))) {
            return false;
        }
        output_->interrupt_callback = {InterruptCallback,
                                       const_cast<std::atomic<bool>*>(request_.cancel)};
        output_->max_delay = 700000;
        const TargetSettings& target = Job().target;
        Dictionary muxerOptions;
        if (target.set) {
            output_->packet_size = static_cast<unsigned>(target.packetSize);
            muxerOptions.Set("muxrate", std::to_string(target.muxRate));
            if (target.preloadSeconds > 0.0) {
                muxerOptions.Set("preload",
                                 std::to_string(std::llround(target.preloadSeconds * 1e6)));
            }
        }
        if (!(output_->oformat->flags & AVFMT_NOFILE)) {
            const int ret = avio_open2(&output_->pb, temporaryPath_.c_str(), AVIO_FLAG_WRITE,
                                       &output_->interrupt_callback, nullptr);
            if (ret < 0) {
                return FailAv("Cannot create the output file", ret);
            }
        }
        const int ret = avformat_write_header(output_.get(), muxerOptions.Address());
        if (ret < 0) {
            return FailAv("Cannot write the output file's header", ret);
        }
        return true;
    }

    bool Convert() {
        PacketPtr packet(av_packet_alloc());
        if (!packet) {
            return Fail("Out of memory");
        }
        while (!Cancelled()) {
            const int ret = av_read_frame(input_.get(), packet.get());
            if (ret < 0) {
                if (Cancelled()) {
                    return false;
                }
                break;  // end of input; a damaged tail ends it too (the length check follows)
            }
            bool ok = true;
            if (wantVideo_ && packet->stream_index == video_.inputIndex) {
                ok = Decode(video_, packet.get());
            } else if (wantAudio_ && packet->stream_index == audio_.inputIndex) {
                ok = Decode(audio_, packet.get());
            }
            av_packet_unref(packet.get());
            if (!ok) {
                return false;
            }
        }
        if (Cancelled()) {
            return false;
        }
        for (StreamPath* path : {&video_, &audio_}) {
            if (path->encoder && (!Decode(*path, nullptr) || !PushFrame(*path, nullptr))) {
                return false;
            }
        }
        return true;
    }

    bool Decode(StreamPath& path, const AVPacket* packet) {
        int ret = avcodec_send_packet(path.decoder.get(), packet);
        if (ret < 0 && ret != AVERROR_EOF && ret != AVERROR(EAGAIN)) {
            return true;  // a damaged packet is skipped, as the ffmpeg tool does
        }
        FramePtr frame(av_frame_alloc());
        if (!frame) {
            return Fail("Out of memory");
        }
        while (!Cancelled()) {
            ret = avcodec_receive_frame(path.decoder.get(), frame.get());
            if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) {
                return true;
            }
            if (ret < 0) {
                continue;  // decoding errors are not fatal
            }
            ++path.framesDecoded;
            std::int64_t pts = frame->best_effort_timestamp;
            if (pts == AV_NOPTS_VALUE) {
                pts = path.nextPts;
            } else {
                pts -= path.startPts;
            }
            if (pts != AV_NOPTS_VALUE && path.decoder->codec_type == AVMEDIA_TYPE_AUDIO) {
                path.nextPts = pts + av_rescale_q(frame->nb_samples, {1, path.decoder->sample_rate},
                                                  path.inStream->time_base);
            }
            frame->pts = pts;
            if (&path == &audio_ &&
                (frame->sample_rate != audioSourceRate_ || frame->format != audioSourceFormat_ ||
                 frame->ch_layout.nb_channels != audioSourceChannels_)) {
                if (!BuildAudioGraph(frame->sample_rate, static_cast<AVSampleFormat>(frame->format),
                                     frame->ch_layout)) {
                    return false;
                }
            }
            const bool ok = PushFrame(path, frame.get());
            av_frame_unref(frame.get());
            if (!ok) {
                return false;
            }
        }
        return false;
    }

    bool PushFrame(StreamPath& path, AVFrame* frame) {
        const int ret = av_buffersrc_add_frame_flags(path.source, frame, 0);
        if (ret < 0) {
            return FailAv("Cannot filter the decoded frames", ret);
        }
        return PullFiltered(path);
    }

    bool PullFiltered(StreamPath& path) {
        FramePtr filtered(av_frame_alloc());
        if (!filtered) {
            return Fail("Out of memory");
        }
        while (!Cancelled()) {
            const int ret = av_buffersink_get_frame(path.sink, filtered.get());
            if (ret == AVERROR(EAGAIN)) {
                return true;
            }
            if (ret == AVERROR_EOF) {
                return Encode(path, nullptr);
            }
            if (ret < 0) {
                return FailAv("Cannot filter the decoded frames", ret);
            }
            if (filtered->pts != AV_NOPTS_VALUE) {
                filtered->pts = av_rescale_q(filtered->pts, av_buffersink_get_time_base(path.sink),
                                             path.encoder->time_base);
            }
            if (path.encoder->codec_type == AVMEDIA_TYPE_AUDIO) {
                // Audio timestamps only move forward (a rebuilt graph may restart a little
                // earlier than the last frame ended).
                if (filtered->pts == AV_NOPTS_VALUE ||
                    (path.nextEncodePts != AV_NOPTS_VALUE && filtered->pts < path.nextEncodePts)) {
                    filtered->pts = path.nextEncodePts != AV_NOPTS_VALUE ? path.nextEncodePts : 0;
                }
                path.nextEncodePts = filtered->pts + filtered->nb_samples;
            }
            filtered->pict_type = AV_PICTURE_TYPE_NONE;
            const bool ok = Encode(path, filtered.get());
            av_frame_unref(filtered.get());
            if (!ok) {
                return false;
            }
        }
        return false;
    }

    bool Encode(StreamPath& path, const AVFrame* frame) {
        if (path.encoderFlushed) {
            return true;
        }
        int ret = avcodec_send_frame(path.encoder.get(), frame);
        if (ret < 0) {
            return FailAv(std::string("Cannot encode with ") + path.encoder->codec->name, ret);
        }
        if (frame == nullptr) {
            path.encoderFlushed = true;
        }
        PacketPtr packet(av_packet_alloc());
        if (!packet) {
            return Fail("Out of memory");
        }
        while (!Cancelled()) {
            ret = avcodec_receive_packet(path.encoder.get(), packet.get());
            if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) {
                return true;
            }
            if (ret < 0) {
                return FailAv(std::string("Cannot encode with ") + path.encoder->codec->name, ret);
            }
            packet->stream_index = path.outStream->index;
            av_packet_rescale_ts(packet.get(), path.encoder->time_base, path.outStream->time_base);
            if (packet->pts != AV_NOPTS_VALUE) {
                const std::int64_t endUs =
                    av_rescale_q(packet->pts + std::max<std::int64_t>(packet->duration, 0),
                                 path.outStream->time_base, AV_TIME_BASE_Q);
                positionUs_ = std::max(positionUs_, endUs);
            }
            ret = av_interleaved_write_frame(output_.get(), packet.get());
            if (ret < 0) {
                return FailAv("Cannot write the output file", ret);
            }
            ReportProgress(false);
        }
        return false;
    }

    void ReportProgress(bool force) {
        if (!request_.progress) {
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (!force && now - lastProgress_ < kProgressInterval) {
            return;
        }
        lastProgress_ = now;
        request_.progress(positionUs_, inputDurationUs_);
    }

    bool Finish() {
        for (StreamPath* path : {&video_, &audio_}) {
            if (path->encoder && path->framesDecoded == 0) {
                return Fail("The input's " + std::string(path == &video_ ? "video" : "audio") +
                            " could not be decoded");
            }
        }
        int ret = av_write_trailer(output_.get());
        if (ret < 0) {
            return FailAv("Cannot finish the output file", ret);
        }
        if (output_->pb != nullptr) {
            ret = avio_closep(&output_->pb);
            if (ret < 0) {
                return FailAv("Cannot finish the output file", ret);
            }
        }
        output_.reset();
        if (expectedUs_ > 0 && static_cast<double>(positionUs_) <
                                   kMinimumOutputShare * static_cast<double>(expectedUs_)) {
            return Fail(Format("The output is shorter than the input (%.1f s of %.1f s)",
                               static_cast<double>(positionUs_) / 1e6,
                               static_cast<double>(expectedUs_) / 1e6));
        }
        std::error_code code;
        std::filesystem::rename(temporaryPath_, request_.outputPath, code);
        if (code) {
            return Fail("Cannot rename the output file: " + code.message());
        }
        keepOutput_ = true;
        ReportProgress(true);
        return true;
    }

    const TranscodeRequest& request_;
    std::string temporaryPath_;
    std::string error_;
    InputContextPtr input_;
    OutputContextPtr output_;
    StreamPath video_;
    StreamPath audio_;
    bool wantVideo_ = false;
    bool wantAudio_ = false;
    bool outputFormatNeedsGlobalHeader_ = false;
    bool keepOutput_ = false;
    int audioSourceRate_ = 0;  // the audio the audio graph was built for
    int audioSourceFormat_ = AV_SAMPLE_FMT_NONE;
    int audioSourceChannels_ = 0;
    std::int64_t inputDurationUs_ = 0;
    std::int64_t expectedUs_ = 0;
    std::int64_t positionUs_ = 0;
    std::chrono::steady_clock::time_point lastProgress_{};
};

}  // namespace

double DisplayRotationDegrees(const AVStream* stream) {
    const std::uint8_t* matrix =
        av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
    if (matrix == nullptr) {
        return 0.0;
    }
    // av_display_rotation_get gives the counter-clockwise angle; turning upright is clockwise.
    const double angle = av_display_rotation_get(reinterpret_cast<const std::int32_t*>(matrix));
    if (std::isnan(angle)) {
        return 0.0;
    }
    return NormaliseDegrees(-std::round(angle));
}

std::string ExtensionOf(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    if (!extension.empty() && extension.front() == '.') {
        extension.erase(0, 1);
    }
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

std::string TemporaryPathFor(const std::string& outputPath) {
    static std::atomic<unsigned> counter{0};
    const std::filesystem::path path(outputPath);
    const std::string name = ".";
    std::string file = name + path.stem().string() + ".ostrel-tmp-" +
                       std::to_string(static_cast<long>(getpid())) + "-" +
                       std::to_string(counter.fetch_add(1)) + path.extension().string();
    return (path.parent_path() / file).string();
}

TranscodeResult Transcode(const TranscodeRequest& request) {
    Task task(request);
    return task.Run();
}

}  // namespace ostrel::engine::ff
