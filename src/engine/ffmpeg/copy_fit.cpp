#include "engine/ffmpeg/copy_fit.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cmath>
#include <iterator>
#include <vector>

#include "engine/ffmpeg/display_matrix.h"
#include "engine/ffmpeg/encoder_constraints.h"
#include "engine/ffmpeg/output.h"

namespace ostrel::engine::ff {
namespace {

CopyDecision No(std::string reason) {
    return {false, std::move(reason)};
}

bool Near(double a, double b, double tolerance) {
    return std::fabs(a - b) <= tolerance * std::max(std::fabs(a), std::fabs(b));
}

// H.264 profiles by what they include: Baseline (constrained or not) < Main < High; the rest
// (High 10, 4:2:2, 4:4:4, Extended) fit no device profile.
int H264ProfileRank(int profile) {
    switch (profile & ~FF_PROFILE_H264_CONSTRAINED) {
        case FF_PROFILE_H264_BASELINE:
            return 1;
        case FF_PROFILE_H264_MAIN:
            return 2;
        case FF_PROFILE_H264_HIGH:
            return 3;
        default:
            return 99;
    }
}

// Whether the stream's codec profile is within the one asked for ("-profile:v").
bool WithinProfile(const StreamFacts& facts, const std::string& asked) {
    if (asked.empty()) {
        return true;
    }
    if (facts.codec == AV_CODEC_ID_H264) {
        const int rank = asked == "baseline" ? 1 : asked == "main" ? 2 : asked == "high" ? 3 : 0;
        return H264ProfileRank(facts.profile) <= rank;
    }
    if (facts.codec == AV_CODEC_ID_MPEG4) {
        return facts.profile == FF_PROFILE_MPEG4_SIMPLE ||
               (asked == "advanced_simple" && facts.profile == FF_PROFILE_MPEG4_ADVANCED_SIMPLE);
    }
    if (facts.codec == AV_CODEC_ID_HEVC) {
        return asked == "main" ? facts.profile == FF_PROFILE_HEVC_MAIN
                               : asked == "main10" && (facts.profile == FF_PROFILE_HEVC_MAIN ||
                                                       facts.profile == FF_PROFILE_HEVC_MAIN_10);
    }
    return false;
}

// "-level 3.0" against the stream's level (H.264 and HEVC count it times ten and thirty).
bool WithinLevel(const StreamFacts& facts, double asked) {
    if (asked <= 0.0) {
        return true;
    }
    if (facts.level <= 0) {
        return false;
    }
    const double scale = facts.codec == AV_CODEC_ID_HEVC ? 30.0 : 10.0;
    const double limit = facts.codec == AV_CODEC_ID_MPEG4 ? asked : asked * scale;
    return facts.level <= std::lround(limit);
}

// Reads Exp-Golomb coded fields of an H.264 sequence parameter set, emulation prevention bytes
// removed.
class BitReader {
  public:
    explicit BitReader(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    bool Bit(unsigned& value) {
        if (position_ >= bytes_.size() * 8) {
            return false;
        }
        value = (bytes_[position_ / 8] >> (7 - position_ % 8)) & 1U;
        ++position_;
        return true;
    }
    bool Bits(int count, unsigned& value) {
        value = 0;
        for (unsigned bit = 0; count-- > 0;) {
            if (!Bit(bit)) {
                return false;
            }
            value = value << 1 | bit;
        }
        return true;
    }
    bool Unsigned(unsigned& value) {
        int zeros = 0;
        for (unsigned bit = 0; Bit(bit) && bit == 0;) {
            if (++zeros > 31) {
                return false;
            }
        }
        unsigned rest = 0;
        if (!Bits(zeros, rest)) {
            return false;
        }
        value = (1U << zeros) - 1 + rest;
        return true;
    }

  private:
    std::vector<std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

// The first sequence parameter set's payload (after the NAL header), from an avcC header or
// from start-code separated units.
std::vector<std::uint8_t> FirstSps(const AVCodecParameters& par) {
    const std::uint8_t* data = par.extradata;
    const int size = par.extradata_size;
    int start = -1;
    int end = size;
    if (size > 8 && data[0] == 1) {
        const int length = data[6] << 8 | data[7];
        start = 8;
        end = std::min(size, start + length);
    } else {
        for (int i = 0; i + 3 < size; ++i) {
            if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
                if (start >= 0) {
                    end = i;
                    break;
                }
                if ((data[i + 3] & 0x1f) == 7) {
                    start = i + 3;
                }
            }
        }
    }
    std::vector<std::uint8_t> payload;
    int zeros = 0;
    for (int i = start + 1; start >= 0 && i < end; ++i) {
        if (zeros >= 2 && data[i] == 3) {
            zeros = 0;
            continue;
        }
        zeros = data[i] == 0 ? zeros + 1 : 0;
        payload.push_back(data[i]);
    }
    return payload;
}

}  // namespace

int H264ReferenceFrames(const AVCodecParameters& par) {
    if (par.codec_id != AV_CODEC_ID_H264 || par.extradata == nullptr) {
        return -1;
    }
    BitReader sps(FirstSps(par));
    unsigned profile = 0;
    unsigned skipped = 0;
    if (!sps.Bits(8, profile) || !sps.Bits(16, skipped) || !sps.Unsigned(skipped)) {
        return -1;
    }
    constexpr unsigned kChromaProfiles[] = {100, 110, 122, 244, 44,  83,
                                            86,  118, 128, 138, 139, 134};
    if (std::find(std::begin(kChromaProfiles), std::end(kChromaProfiles), profile) !=
        std::end(kChromaProfiles)) {
        unsigned chroma = 0;
        unsigned scaling = 0;
        if (!sps.Unsigned(chroma) || (chroma == 3 && !sps.Bit(skipped)) || !sps.Unsigned(skipped) ||
            !sps.Unsigned(skipped) || !sps.Bit(skipped) || !sps.Bit(scaling) || scaling != 0) {
            return -1;  // scaling matrices are not read here
        }
    }
    unsigned pocType = 0;
    if (!sps.Unsigned(skipped) || !sps.Unsigned(pocType)) {
        return -1;
    }
    if (pocType == 0 && !sps.Unsigned(skipped)) {
        return -1;
    }
    if (pocType == 1) {
        unsigned cycle = 0;
        if (!sps.Bit(skipped) || !sps.Unsigned(skipped) || !sps.Unsigned(skipped) ||
            !sps.Unsigned(cycle) || cycle > 255) {
            return -1;
        }
        for (unsigned i = 0; i < cycle; ++i) {
            if (!sps.Unsigned(skipped)) {
                return -1;
            }
        }
    }
    unsigned refs = 0;
    return sps.Unsigned(refs) && refs <= 16 ? static_cast<int>(refs) : -1;
}

namespace {

CopyDecision DecideVideo(const StreamFacts& facts, const JobSpec& job, const CopyTarget& target) {
    const CopyRules& rules = job.copy;
    const CodecConstraints& constraints = job.constraints;
    if (!job.filters.empty()) {
        return No("the picture is cropped, flipped or turned");
    }
    if ((job.width > 0 && job.width != facts.width) ||
        (job.height > 0 && job.height != facts.height)) {
        return No("another picture size");
    }
    if (job.aspect.IsSet() && !Near(job.aspect.ToDouble(), facts.displayAspect, 0.01)) {
        return No("another display aspect");
    }
    if (job.frameRate.IsSet() && !rules.autoFrameRate &&
        !Near(job.frameRate.ToDouble(), facts.frameRate, 0.001)) {
        return No("another frame rate");
    }
    if (rules.maxFrameRate > 0 &&
        (facts.frameRate <= 0 || facts.frameRate > rules.maxFrameRate + 0.01)) {
        return No("a frame rate above the device's");
    }
    if (job.videoBitrate > 0 && !rules.autoVideoBitrate &&
        (facts.bitrate <= 0 || job.videoBitrate < facts.bitrate)) {
        return No("a lower bit rate");
    }
    if (target.h264Encoder && facts.pixelFormat != AV_PIX_FMT_YUV420P &&
        facts.pixelFormat != AV_PIX_FMT_YUVJ420P) {
        return No("a pixel format other than 8-bit 4:2:0");
    }
    if (!constraints.pixelFormat.empty() &&
        av_get_pix_fmt(constraints.pixelFormat.c_str()) != facts.pixelFormat) {
        return No("another pixel format");
    }
    if (!WithinProfile(facts, constraints.profile)) {
        return No("a codec profile above the device's");
    }
    if (!WithinLevel(facts, constraints.level)) {
        return No("a codec level above the device's");
    }
    if (constraints.maxRate > 0 && (facts.bitrate <= 0 || facts.bitrate > constraints.maxRate)) {
        return No("a bit rate above the device's");
    }
    if (constraints.bFrames == 0 && facts.reorderDepth > 0) {
        return No("B-frames the device does not take");
    }
    if (constraints.refs > 0 &&
        (facts.referenceFrames < 0 || facts.referenceFrames > constraints.refs)) {
        return No("more reference frames than the device's");
    }
    // The entropy coder and the key-frame distance are not told by the headers: a stream asked
    // to keep them within a limit is only copied when its profile cannot exceed it (Baseline
    // codes CAVLC only).
    const bool baseline = facts.codec == AV_CODEC_ID_H264 && H264ProfileRank(facts.profile) == 1;
    if ((constraints.coder == 0 && !baseline) || constraints.gopSize > 0 ||
        !constraints.x264Params.empty()) {
        return No("coding limits that cannot be checked without decoding");
    }
    return {true, {}};
}

CopyDecision DecideSound(const StreamFacts& facts, const JobSpec& job) {
    const CopyRules& rules = job.copy;
    if (job.sampleRate > 0 && !rules.autoSampleRate && job.sampleRate != facts.sampleRate) {
        return No("another sample rate");
    }
    if (job.channels > 0 &&
        (rules.autoChannels ? facts.channels > job.channels : facts.channels != job.channels)) {
        return No("another channel count");
    }
    if (rules.maxChannels > 0 && facts.channels > rules.maxChannels) {
        return No("more channels than the device's");
    }
    if (job.audioBitrate > 0 && !rules.autoAudioBitrate &&
        (facts.bitrate <= 0 || job.audioBitrate < facts.bitrate)) {
        return No("a lower bit rate");
    }
    if (rules.maxAudioBitrate > 0 &&
        (facts.bitrate <= 0 || facts.bitrate > rules.maxAudioBitrate)) {
        return No("a bit rate above the device's");
    }
    return {true, {}};
}

}  // namespace

CopyDecision DecideCopy(const StreamFacts& facts, const JobSpec& job, const CopyTarget& target) {
    if (!job.copy.enabled) {
        return No("copying is off");
    }
    if (facts.codec == AV_CODEC_ID_NONE || facts.codec != target.codec) {
        return No("another codec");
    }
    const AVOutputFormat* format = av_guess_format(target.muxer.c_str(), nullptr, nullptr);
    if (format == nullptr || avformat_query_codec(format, facts.codec, FF_COMPLIANCE_NORMAL) != 1) {
        return No("the container cannot hold it");
    }
    if (job.target.set || job.targetSizeBytes > 0) {
        return No("a disc standard or a file size to meet");
    }
    return facts.type == AVMEDIA_TYPE_VIDEO ? DecideVideo(facts, job, target)
                                            : DecideSound(facts, job);
}

StreamFacts FactsOf(const AVFormatContext& input, const AVStream& stream) {
    const AVCodecParameters& par = *stream.codecpar;
    StreamFacts facts;
    facts.type = par.codec_type;
    facts.codec = par.codec_id;
    facts.profile = par.profile;
    facts.level = par.level;
    facts.bitrate = par.bit_rate;
    if (facts.bitrate <= 0 && input.bit_rate > 0) {
        // The file's rate less what the other streams declare: at least the stream's own.
        std::int64_t others = 0;
        for (unsigned i = 0; i < input.nb_streams; ++i) {
            if (input.streams[i] != &stream) {
                others += std::max<std::int64_t>(0, input.streams[i]->codecpar->bit_rate);
            }
        }
        facts.bitrate = std::max<std::int64_t>(0, input.bit_rate - others);
    }
    if (facts.type == AVMEDIA_TYPE_VIDEO) {
        const PictureSize size = UprightSize(&stream);
        facts.width = size.width;
        facts.height = size.height;
        facts.pixelFormat = par.format;
        facts.frameRate = stream.avg_frame_rate.num > 0 && stream.avg_frame_rate.den > 0
                              ? av_q2d(stream.avg_frame_rate)
                              : (stream.r_frame_rate.den > 0 ? av_q2d(stream.r_frame_rate) : 0.0);
        const AVRational sar =
            par.sample_aspect_ratio.num > 0 ? par.sample_aspect_ratio : AVRational{1, 1};
        facts.displayAspect = facts.height > 0 ? av_q2d(sar) * facts.width / facts.height : 0.0;
        facts.reorderDepth = par.video_delay;
        facts.referenceFrames = H264ReferenceFrames(par);
    } else {
        facts.sampleRate = par.sample_rate;
        facts.channels = par.ch_layout.nb_channels;
    }
    return facts;
}

std::string CopyBitstreamFilter(const AVCodecParameters& input, const std::string& inputFormat,
                                const std::string& muxer) {
    const bool isoFamily = muxer == "mp4" || muxer == "mov" || muxer == "ipod" || muxer == "3gp" ||
                           muxer == "3g2" || muxer == "flv" || muxer == "matroska" ||
                           muxer == "ismv";
    const bool annexBFamily = muxer == "mpegts" || muxer == "mpeg" || muxer == "vob" ||
                              muxer == "dvd" || muxer == "h264" || muxer == "hevc";
    // Length-prefixed NAL units carry their parameter sets in an avcC/hvcC header that starts
    // with 1; elementary streams start every unit with a start code.
    const bool lengthPrefixed = input.extradata_size > 0 && input.extradata[0] == 1;
    if (input.codec_id == AV_CODEC_ID_AAC && isoFamily &&
        (input.extradata_size == 0 || inputFormat == "aac" || inputFormat == "mpegts")) {
        return "aac_adtstoasc";  // ADTS headers out, the AudioSpecificConfig into the header
    }
    if (annexBFamily && lengthPrefixed) {
        if (input.codec_id == AV_CODEC_ID_H264) {
            return "h264_mp4toannexb";
        }
        if (input.codec_id == AV_CODEC_ID_HEVC) {
            return "hevc_mp4toannexb";
        }
    }
    return {};
}

std::uint32_t CopyCodecTag(AVCodecID codec, const std::string& muxer, const std::string& asked) {
    if (asked.size() == 4) {
        return MKTAG(asked[0], asked[1], asked[2], asked[3]);
    }
    const bool isoFamily = muxer == "mp4" || muxer == "mov" || muxer == "ipod";
    if (codec == AV_CODEC_ID_HEVC && isoFamily) {
        return MKTAG('h', 'v', 'c', '1');
    }
    return 0;
}

int CopiedStreamsFor(const AVFormatContext& input, int videoIndex, int audioIndex,
                     const std::string& outputPath, const std::string& options,
                     std::string& error) {
    const AVStream* video = videoIndex >= 0 ? input.streams[videoIndex] : nullptr;
    const double frameRate =
        video != nullptr && video->avg_frame_rate.den > 0 ? av_q2d(video->avg_frame_rate) : 0.0;
    JobSpec job;
    if (!ParseOptions(options, InputFacts{frameRate}, job, error)) {
        return -1;
    }
    const std::optional<ContainerInfo> container =
        ContainerForOutput(ExtensionOf(outputPath), job.muxer);
    if (!container) {
        error = "Unknown container for " + outputPath;
        return -1;
    }
    int copied = 0;
    if (video != nullptr && !job.noVideo && !container->audioOnly) {
        const StreamFacts facts = FactsOf(input, *video);
        if (DecideCopy(facts, job, CopyTargetFor(job, *container, facts)).copy) {
            copied |= kCopiedVideo;
        }
    }
    if (audioIndex >= 0 && !job.noAudio) {
        const StreamFacts facts = FactsOf(input, *input.streams[audioIndex]);
        if (DecideCopy(facts, job, CopyTargetFor(job, *container, facts)).copy) {
            copied |= kCopiedSound;
        }
    }
    return copied;
}

CopyTarget CopyTargetFor(const JobSpec& job, const ContainerInfo& container,
                         const StreamFacts& facts) {
    CopyTarget target;
    target.muxer = container.muxer;
    const bool video = facts.type == AVMEDIA_TYPE_VIDEO;
    const std::string asked = video ? job.videoCodec : job.audioCodec;
    const std::string name =
        !asked.empty() ? asked
        : video        ? DefaultVideoEncoder(container, {job.width > 0 ? job.width : facts.width,
                                                  job.height > 0 ? job.height : facts.height})
                       : container.audioCodec;
    const AVCodec* codec = avcodec_find_encoder_by_name(ResolveEncoderName(name).c_str());
    target.codec = codec != nullptr ? codec->id : AV_CODEC_ID_NONE;
    target.h264Encoder = codec != nullptr && std::string(codec->name) == "libx264";
    return target;
}

}  // namespace ostrel::engine::ff
