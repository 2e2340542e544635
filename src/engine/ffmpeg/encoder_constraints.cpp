#include "engine/ffmpeg/encoder_constraints.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <vector>

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace ostrel::engine::ff {
namespace {

// Picture sizes of H.263.
constexpr PictureSize kH263Sizes[] = {{128, 96}, {176, 144}, {352, 288}, {704, 576}, {1408, 1152}};

// Frame rates MPEG-1 video can signal; MPEG-2 has 15 as well.
constexpr AVRational kMpeg1FrameRates[] = {{24000, 1001}, {24, 1}, {25, 1},       {30000, 1001},
                                           {30, 1},       {50, 1}, {60000, 1001}, {60, 1}};
constexpr AVRational kMpeg2FrameRates[] = {{24000, 1001}, {24, 1}, {25, 1},
                                           {30000, 1001}, {30, 1}, {50, 1},
                                           {60000, 1001}, {60, 1}, {15, 1}};

// Below the RealMedia muxer's 65535 bytes, with room for its packet header.
constexpr int kRealMediaMaxFrameBytes = 60000;

const VideoEncoderRule kVideoRules[] = {
    {.encoder = "h263", .sizeAlignment = 4, .sizes = kH263Sizes},
    // The RealMedia muxer takes no packet over 64 kB.
    {.encoder = "rv10", .sizeAlignment = 16, .maxFrameBytes = kRealMediaMaxFrameBytes},
    {.encoder = "rv20", .sizeAlignment = 4, .maxFrameBytes = kRealMediaMaxFrameBytes},
    {.encoder = "mpeg1video", .frameRates = kMpeg1FrameRates},
    {.encoder = "mpeg2video", .frameRates = kMpeg2FrameRates},
    {.encoder = "libx264",
     .zeroBitrateIsQuality = true,
     .qualityOption = "crf",
     .qualityValue = "23",
     .takesX264Preset = true,
     .alwaysYuv420p = true},
    {.encoder = "libvpx", .zeroBitrateIsQuality = true},
    // "0k" gives each encoder's own default constant quality; "-crf" sets another.
    {.encoder = "libx265",
     .zeroBitrateIsQuality = true,
     .qualityOption = "crf",
     .qualityValue = "28",
     .keepsHighBitDepth = true,
     .fixedOption = "x265-params",
     .fixedValue = "log-level=error"},
    {.encoder = "libsvtav1",
     .zeroBitrateIsQuality = true,
     .qualityOption = "crf",
     .qualityValue = "35",
     .keepsHighBitDepth = true},
    {.encoder = "libvpx-vp9",
     .zeroBitrateIsQuality = true,
     .qualityOption = "crf",
     .qualityValue = "31",
     .keepsHighBitDepth = true},
};
// 4:2:0 pictures, libxvid, wmv1/2: even sizes.
const VideoEncoderRule kAnyVideoEncoder = {};

// Containers whose default video encoder depends on the picture size: the sized encoder when
// the size is one it takes, else the other one.
struct SizedDefault {
    std::string_view muxer;
    std::string_view sizedEncoder;
    std::string_view otherEncoder;
};
constexpr SizedDefault kSizedDefaults[] = {{"3gp", "h263", "mpeg4"}};

// mp2 bit rates (kbit/s) of MPEG-1 sample rates and of the half rates below 32 kHz.
constexpr int kMp2Kbps[] = {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
constexpr int kMp2LowRateKbps[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
constexpr int kAc3Kbps[] = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                            192, 224, 256, 320, 384, 448, 512, 576, 640};

constexpr int kAmrNarrowbandRates[] = {8000};
// Opus codes at 48 kHz whatever it is given, and its decoders play at 48 kHz.
constexpr int kOpusRates[] = {48000};

const AudioEncoderRule kAudioRules[] = {
    // The AMR encoder lists no rates of its own but takes 8 kHz mono only.
    {.codec = AV_CODEC_ID_AMR_NB, .sampleRates = kAmrNarrowbandRates, .maxChannels = 1},
    {.codec = AV_CODEC_ID_MP2, .bitratesKbps = kMp2Kbps, .lowRateBitratesKbps = kMp2LowRateKbps},
    {.codec = AV_CODEC_ID_AC3, .bitratesKbps = kAc3Kbps, .lowRateBitratesKbps = kAc3Kbps},
    {.codec = AV_CODEC_ID_WMAV1, .maxSampleRate = 48000, .maxChannels = 2, .minBitrate = 24000},
    {.codec = AV_CODEC_ID_WMAV2, .maxSampleRate = 48000, .maxChannels = 2, .minBitrate = 24000},
    {.codec = AV_CODEC_ID_VORBIS, .raiseBitrateUntilOpen = true},
    // libopus refuses rates outside 500 bit/s … 256 kbit/s a channel.
    {.codec = AV_CODEC_ID_OPUS,
     .sampleRates = kOpusRates,
     .minBitrate = 6000,
     .maxBitratePerChannel = 256000},
};
const AudioEncoderRule kAnyAudioEncoder = {};

// Sample rates a muxer allows for a codec, narrower than the encoder's own.
struct MuxerSampleRates {
    std::string_view muxer;
    AVCodecID codec;
    std::span<const int> rates;
};
constexpr int kFlashMp3Rates[] = {44100, 22050, 11025};
constexpr MuxerSampleRates kMuxerSampleRates[] = {
    {"flv", AV_CODEC_ID_MP3, kFlashMp3Rates},
    {"swf", AV_CODEC_ID_MP3, kFlashMp3Rates},
};

// The allowed value nearest to the wanted one; the first of equally near ones.
template <typename T, typename Distance>
T Nearest(std::span<const T> allowed, Distance distance) {
    return *std::min_element(allowed.begin(), allowed.end(),
                             [&](const T& a, const T& b) { return distance(a) < distance(b); });
}

int NearestInt(std::span<const int> allowed, long long wanted) {
    return Nearest(allowed, [wanted](int value) { return std::llabs(value - wanted); });
}

bool IsOneOf(std::span<const PictureSize> sizes, PictureSize size) {
    return std::find(sizes.begin(), sizes.end(), size) != sizes.end();
}

}  // namespace

const VideoEncoderRule& VideoRuleFor(std::string_view encoder) {
    const auto found = std::find_if(std::begin(kVideoRules), std::end(kVideoRules),
                                    [&](const auto& rule) { return rule.encoder == encoder; });
    return found != std::end(kVideoRules) ? *found : kAnyVideoEncoder;
}

PictureSize FitPictureSize(const VideoEncoderRule& rule, PictureSize wanted) {
    PictureSize size = wanted;
    if (!rule.sizes.empty() && !IsOneOf(rule.sizes, size)) {
        const double area = static_cast<double>(wanted.width) * wanted.height;
        size = Nearest(rule.sizes, [area](const PictureSize& candidate) {
            return std::fabs(static_cast<double>(candidate.width) * candidate.height - area);
        });
    }
    const int align = rule.sizeAlignment;
    return {std::max(align, size.width / align * align),
            std::max(align, size.height / align * align)};
}

AVRational FitFrameRate(const VideoEncoderRule& rule, AVRational wanted) {
    AVRational rate = wanted;
    if (rate.num <= 0 || rate.den <= 0 || av_q2d(rate) > 1000.0) {
        rate = {25, 1};
    }
    if (!rule.frameRates.empty()) {
        const double value = av_q2d(rate);
        rate = Nearest(rule.frameRates, [value](const AVRational& candidate) {
            return std::fabs(av_q2d(candidate) - value);
        });
    }
    av_reduce(&rate.num, &rate.den, rate.num, rate.den, 65535);
    return rate;
}

bool IsHighBitDepth(AVPixelFormat format) {
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    return descriptor != nullptr && descriptor->nb_components > 0 && descriptor->comp[0].depth > 8;
}

bool IsHdrTransfer(AVColorTransferCharacteristic transfer) {
    return transfer == AVCOL_TRC_SMPTE2084 || transfer == AVCOL_TRC_ARIB_STD_B67;
}

AVPixelFormat FitPixelFormat(const VideoEncoderRule& rule, const AVCodec& codec,
                             AVPixelFormat source) {
    if (rule.alwaysYuv420p || codec.pix_fmts == nullptr) {
        return AV_PIX_FMT_YUV420P;
    }
    const AVPixelFormat wanted = rule.keepsHighBitDepth && IsHighBitDepth(source)
                                     ? AV_PIX_FMT_YUV420P10LE
                                     : AV_PIX_FMT_YUV420P;
    for (AVPixelFormat choice : {wanted, AV_PIX_FMT_YUV420P}) {
        for (const AVPixelFormat* format = codec.pix_fmts; *format != AV_PIX_FMT_NONE; ++format) {
            if (*format == choice) {
                return choice;
            }
        }
    }
    return codec.pix_fmts[0];
}

std::string DefaultVideoEncoder(const ContainerInfo& container, PictureSize size) {
    for (const SizedDefault& entry : kSizedDefaults) {
        if (container.muxer == entry.muxer) {
            const bool fits = IsOneOf(VideoRuleFor(entry.sizedEncoder).sizes, size);
            return std::string(fits ? entry.sizedEncoder : entry.otherEncoder);
        }
    }
    return container.videoCodec;
}

const AudioEncoderRule& AudioRuleFor(AVCodecID codec) {
    const auto found = std::find_if(std::begin(kAudioRules), std::end(kAudioRules),
                                    [&](const auto& rule) { return rule.codec == codec; });
    return found != std::end(kAudioRules) ? *found : kAnyAudioEncoder;
}

int FitSampleRate(const AVCodec& codec, std::string_view muxer, int wanted) {
    int rate = wanted;
    const AudioEncoderRule& rule = AudioRuleFor(codec.id);
    const auto muxerRule = std::find_if(
        std::begin(kMuxerSampleRates), std::end(kMuxerSampleRates),
        [&](const auto& entry) { return entry.muxer == muxer && entry.codec == codec.id; });
    if (muxerRule != std::end(kMuxerSampleRates)) {
        rate = NearestInt(muxerRule->rates, wanted);
    } else if (!rule.sampleRates.empty()) {
        rate = NearestInt(rule.sampleRates, wanted);
    } else if (codec.supported_samplerates != nullptr) {
        std::vector<int> rates;
        for (const int* candidate = codec.supported_samplerates; *candidate != 0; ++candidate) {
            rates.push_back(*candidate);
        }
        rate = NearestInt(rates, wanted);
    }
    return rule.maxSampleRate > 0 ? std::min(rate, rule.maxSampleRate) : rate;
}

ChannelLayout FitChannelLayout(const AVCodec& codec, int wanted) {
    const int maxChannels = AudioRuleFor(codec.id).maxChannels;
    const int channels = maxChannels > 0 ? std::min(wanted, maxChannels) : wanted;
    if (codec.ch_layouts == nullptr) {
        return ChannelLayout::Default(channels);
    }
    const AVChannelLayout* best = nullptr;
    for (const AVChannelLayout* candidate = codec.ch_layouts; candidate->nb_channels != 0;
         ++candidate) {
        if (candidate->nb_channels == channels) {
            return ChannelLayout(*candidate);
        }
        if (candidate->nb_channels < channels &&
            (best == nullptr || candidate->nb_channels > best->nb_channels)) {
            best = candidate;
        }
    }
    return ChannelLayout(best != nullptr ? *best : codec.ch_layouts[0]);
}

AVSampleFormat FitSampleFormat(const AVCodec& codec, AVSampleFormat decoded) {
    if (codec.sample_fmts == nullptr) {
        return decoded;
    }
    for (const AVSampleFormat* format = codec.sample_fmts; *format != AV_SAMPLE_FMT_NONE;
         ++format) {
        if (*format == decoded) {
            return decoded;
        }
    }
    const AVSampleFormat packed = av_get_packed_sample_fmt(decoded);
    for (const AVSampleFormat* format = codec.sample_fmts; *format != AV_SAMPLE_FMT_NONE;
         ++format) {
        if (av_get_packed_sample_fmt(*format) == packed) {
            return *format;
        }
    }
    return codec.sample_fmts[0];
}

std::int64_t FitAudioBitrate(const AudioEncoderRule& rule, std::int64_t wanted, int sampleRate,
                             int channels) {
    std::int64_t bitrate = wanted;
    const auto table = sampleRate < 32000 ? rule.lowRateBitratesKbps : rule.bitratesKbps;
    if (!table.empty()) {
        bitrate = static_cast<std::int64_t>(NearestInt(table, wanted / 1000)) * 1000;
    }
    if (rule.maxBitratePerChannel > 0 && channels > 0) {
        bitrate = std::min(bitrate, rule.maxBitratePerChannel * channels);
    }
    return std::max(bitrate, rule.minBitrate);
}

}  // namespace ostrel::engine::ff
