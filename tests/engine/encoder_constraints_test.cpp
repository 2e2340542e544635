// Adjustments that make a job fit what an encoder takes: the nearest allowed value, never a
// failure.
#include <gtest/gtest.h>

#include "engine/ffmpeg/encoder_constraints.h"

namespace ostrel::engine::ff {
namespace {

const AVCodec& Encoder(const char* name) {
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    EXPECT_NE(codec, nullptr) << name;
    return *codec;
}

TEST(EncoderConstraints, PictureSizes) {
    struct Case {
        const char* encoder;
        PictureSize wanted;
        PictureSize fitted;
    };
    const std::vector<Case> cases = {
        {"libx264", {321, 241}, {320, 240}},
        {"libx264", {1, 1}, {2, 2}},
        {"rv20", {322, 242}, {320, 240}},
        {"rv10", {330, 250}, {320, 240}},
        {"h263", {176, 144}, {176, 144}},
        {"h263", {320, 240}, {352, 288}},  // the nearest H.263 size by area
        {"h263", {100, 80}, {128, 96}},
        {"mpeg4", {641, 479}, {640, 478}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FitPictureSize(VideoRuleFor(c.encoder), c.wanted), c.fitted)
            << c.encoder << " " << c.wanted.width << "x" << c.wanted.height;
    }
}

TEST(EncoderConstraints, FrameRatesAndDefaults) {
    struct Case {
        const char* encoder;
        AVRational wanted;
        AVRational fitted;
    };
    const std::vector<Case> cases = {
        {"mpeg1video", {2997, 100}, {30000, 1001}},
        {"mpeg1video", {15, 1}, {24000, 1001}},  // not an MPEG-1 rate
        {"mpeg2video", {15, 1}, {15, 1}},
        {"mpeg1video", {0, 1}, {25, 1}},  // unknown: 25
        {"libx264", {2997, 100}, {2997, 100}},
        {"libx264", {5000, 1}, {25, 1}},  // absurd: 25
    };
    for (const Case& c : cases) {
        const AVRational rate = FitFrameRate(VideoRuleFor(c.encoder), c.wanted);
        EXPECT_EQ(av_cmp_q(rate, c.fitted), 0)
            << c.encoder << " " << c.wanted.num << "/" << c.wanted.den << " → " << rate.num << "/"
            << rate.den;
    }
    // 3gp takes h263 only for its sizes.
    ContainerInfo threeGp{"3gp", "h263", "libopencore_amrnb", false};
    EXPECT_EQ(DefaultVideoEncoder(threeGp, {176, 144}), "h263");
    EXPECT_EQ(DefaultVideoEncoder(threeGp, {320, 240}), "mpeg4");
    EXPECT_EQ(DefaultVideoEncoder({"mp4", "mpeg4", "aac", false}, {176, 144}), "mpeg4");
    EXPECT_EQ(FitPixelFormat(VideoRuleFor("libx264"), Encoder("libx264")), AV_PIX_FMT_YUV420P);
}

TEST(EncoderConstraints, AudioRatesChannelsAndBitrates) {
    struct RateCase {
        const char* encoder;
        const char* muxer;
        int wanted;
        int fitted;
    };
    const std::vector<RateCase> rates = {
        {"ac3", "ac3", 22050, 32000},        {"mp2", "mpeg", 11025, 16000},
        {"libmp3lame", "flv", 48000, 44100}, {"libmp3lame", "mp3", 48000, 48000},
        {"wmav2", "asf", 96000, 48000},      {"libopencore_amrnb", "3gp", 44100, 8000},
    };
    for (const RateCase& c : rates) {
        EXPECT_EQ(FitSampleRate(Encoder(c.encoder), c.muxer, c.wanted), c.fitted)
            << c.encoder << " in " << c.muxer << " at " << c.wanted;
    }
    struct ChannelCase {
        const char* encoder;
        int wanted;
        int fitted;
    };
    for (const ChannelCase& c :
         {ChannelCase{"wmav2", 6, 2}, ChannelCase{"ac3", 6, 6},
          ChannelCase{"libopencore_amrnb", 2, 1}, ChannelCase{"aac", 2, 2}}) {
        EXPECT_EQ(FitChannelLayout(Encoder(c.encoder), c.wanted).Channels(), c.fitted)
            << c.encoder << " with " << c.wanted;
    }
    struct BitrateCase {
        AVCodecID codec;
        std::int64_t wanted;
        int sampleRate;
        std::int64_t fitted;
    };
    const std::vector<BitrateCase> bitrates = {
        {AV_CODEC_ID_MP2, 100000, 44100, 96000},   {AV_CODEC_ID_MP2, 100000, 22050, 96000},
        {AV_CODEC_ID_MP2, 200000, 22050, 160000},  // the half-rate table ends at 160k
        {AV_CODEC_ID_MP2, 500000, 48000, 384000},  {AV_CODEC_ID_AC3, 100000, 22050, 96000},
        {AV_CODEC_ID_AC3, 1000000, 48000, 640000}, {AV_CODEC_ID_WMAV2, 16000, 44100, 24000},
        {AV_CODEC_ID_AAC, 6700, 8000, 6700},
    };
    for (const BitrateCase& c : bitrates) {
        EXPECT_EQ(FitAudioBitrate(AudioRuleFor(c.codec), c.wanted, c.sampleRate), c.fitted)
            << avcodec_get_name(c.codec) << " " << c.wanted << " at " << c.sampleRate;
    }
}

}  // namespace
}  // namespace ostrel::engine::ff
