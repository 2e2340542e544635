// What the encoders accept, as tables, and the adjustments that make a job fit them: sizes,
// frame rates, pixel formats, sample rates, channel layouts and bit rates. A job is adjusted
// to the nearest value an encoder takes instead of failing.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "engine/ffmpeg/av_util.h"
#include "engine/ffmpeg/job.h"

namespace ostrel::engine::ff {

struct VideoEncoderRule {
    std::string_view encoder;                 // FFmpeg's encoder name; empty for every other one
    int sizeAlignment = 2;                    // width and height are multiples of it
    std::span<const PictureSize> sizes = {};  // the only sizes it takes; empty: any
    std::span<const AVRational> frameRates = {};  // the only frame rates it takes; empty: any
    // "0k" means no bit rate target: the encoder's own quality mode, set by an option of its own.
    bool zeroBitrateIsQuality = false;
    const char* qualityOption = nullptr;
    const char* qualityValue = nullptr;
    bool takesX264Preset = false;
    bool alwaysYuv420p = false;  // 4:2:0 output whatever the source, which devices play
    // A source of more than 8 bits a sample stays 10-bit 4:2:0 (HEVC Main 10, AV1 10-bit,
    // VP9 profile 2), and the source's colour primaries, transfer and matrix are written
    // into the stream. Other encoders get 8-bit pictures, so HDR sources are tone-mapped.
    bool keepsHighBitDepth = false;
    // A private option the encoder always gets (x265's log level: it prints to the terminal).
    const char* fixedOption = nullptr;
    const char* fixedValue = nullptr;
    // The largest frame its container takes, in bytes (0: any): the rate control's buffer
    // keeps every frame below it.
    int maxFrameBytes = 0;
};

const VideoEncoderRule& VideoRuleFor(std::string_view encoder);

// The size the encoder gets: the nearest one it takes (by area), aligned downwards.
PictureSize FitPictureSize(const VideoEncoderRule& rule, PictureSize wanted);

// The frame rate the encoder gets: 25 for an unknown or absurd rate, the nearest one it takes,
// reduced to terms of at most 65535.
AVRational FitFrameRate(const VideoEncoderRule& rule, AVRational wanted);

// yuv420p where the encoder takes it, else its first format; yuv420p10le for a source of more
// than 8 bits where the rule keeps them and the encoder takes it.
AVPixelFormat FitPixelFormat(const VideoEncoderRule& rule, const AVCodec& codec,
                             AVPixelFormat source = AV_PIX_FMT_NONE);

// True for pictures of more than 8 bits a sample.
bool IsHighBitDepth(AVPixelFormat format);

// True for a high-dynamic-range transfer: PQ (SMPTE ST 2084) or HLG (ARIB STD-B67).
bool IsHdrTransfer(AVColorTransferCharacteristic transfer);

// The video encoder of an output that names none: the container's, chosen by picture size for
// containers whose default depends on it.
std::string DefaultVideoEncoder(const ContainerInfo& container, PictureSize size);

struct AudioEncoderRule {
    AVCodecID codec = AV_CODEC_ID_NONE;     // AV_CODEC_ID_NONE for every other one
    std::span<const int> sampleRates = {};  // the only ones it takes; empty: its own list
    int maxSampleRate = 0;                  // 0: no limit
    int maxChannels = 0;
    std::span<const int> bitratesKbps = {};         // the only bit rates it takes; empty: any
    std::span<const int> lowRateBitratesKbps = {};  // the same below 32 kHz
    std::int64_t minBitrate = 0;
    std::int64_t maxBitratePerChannel = 0;  // 0: no limit
    bool raiseBitrateUntilOpen = false;     // refuses low rates for some layouts
};

const AudioEncoderRule& AudioRuleFor(AVCodecID codec);

// The nearest sample rate that the encoder, inside this muxer, takes.
int FitSampleRate(const AVCodec& codec, std::string_view muxer, int wanted);

// The wanted channel count where the encoder has it, else the nearest below (or its first).
ChannelLayout FitChannelLayout(const AVCodec& codec, int wanted);

// The decoder's sample format where the encoder takes it, else its planar or packed twin (so
// 16-bit sound stays 16-bit), else the encoder's first.
AVSampleFormat FitSampleFormat(const AVCodec& codec, AVSampleFormat decoded);

// The bit rate the encoder gets for a wanted one (bit/s, > 0) at a sample rate.
std::int64_t FitAudioBitrate(const AudioEncoderRule& rule, std::int64_t wanted, int sampleRate,
                             int channels = 0);

}  // namespace ostrel::engine::ff
