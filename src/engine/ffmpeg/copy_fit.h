// Whether an input stream can go into the output as it is: its packets moved into the new
// container instead of being decoded and encoded again. The decision is a pure function of the
// stream's facts and what the option string asks for; the facts come from the opened input.
#pragma once

#include <cstdint>
#include <string>

#include "engine/engine.h"
#include "engine/ffmpeg/av_util.h"
#include "engine/ffmpeg/job.h"

namespace ostrel::engine::ff {

// What the input tells about one stream.
struct StreamFacts {
    AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
    AVCodecID codec = AV_CODEC_ID_NONE;
    int profile = -99;  // FF_PROFILE_UNKNOWN
    int level = -99;    // as the codec counts it (H.264: 30 for 3.0); FF_LEVEL_UNKNOWN
    // Video: the picture as shown (turned by the display matrix), its pixel format, average
    // frame rate, display aspect ratio and how many pictures the decoder holds back for
    // B-frames.
    int width = 0;
    int height = 0;
    int pixelFormat = -1;
    double frameRate = 0.0;
    double displayAspect = 0.0;
    int reorderDepth = 0;
    int referenceFrames = -1;  // H.264 from its sequence parameter set; -1 when not known
    // Sound.
    int sampleRate = 0;
    int channels = 0;
    // Bit/s: the stream's own, else an upper bound from the file's; 0 when unknown.
    std::int64_t bitrate = 0;
};

// The streams of the task, and the output they go to.
struct CopyTarget {
    std::string muxer;                   // the output's muxer name ("mp4", "matroska")
    AVCodecID codec = AV_CODEC_ID_NONE;  // what the output's encoder for this stream writes
    bool h264Encoder = false;            // libx264: its output is always 8-bit 4:2:0
};

struct CopyDecision {
    bool copy = false;
    std::string reason;  // why not, for the log and the tests
};

// Every condition, in the order a user would look for them: the codec, the container, the
// changes asked for, the device's limits.
CopyDecision DecideCopy(const StreamFacts& facts, const JobSpec& job, const CopyTarget& target);

// max_num_ref_frames of the first H.264 sequence parameter set in the stream's header; -1
// when there is none or it cannot be read here.
int H264ReferenceFrames(const AVCodecParameters& par);

// The facts of an opened input's stream.
StreamFacts FactsOf(const AVFormatContext& input, const AVStream& stream);

// The bit-stream filter the packets need between the input's container and the output's
// ("aac_adtstoasc", "h264_mp4toannexb"), empty when none.
std::string CopyBitstreamFilter(const AVCodecParameters& input, const std::string& inputFormat,
                                const std::string& muxer);

// The four-character code the copied stream gets in the output: the one asked for, "hvc1" for
// HEVC in the MP4 family (parameter sets in the header only, as Apple's players need), else 0
// (the muxer's own choice).
std::uint32_t CopyCodecTag(AVCodecID codec, const std::string& muxer, const std::string& asked);

// What the output makes of a stream of these facts: its muxer and the codec its encoder writes.
CopyTarget CopyTargetFor(const JobSpec& job, const ContainerInfo& container,
                         const StreamFacts& facts);

// Which of the input's main streams a conversion with these options into outputPath copies:
// bit 1 the video, bit 2 the sound. Negative with error set when the options are refused.
int CopiedStreamsFor(const AVFormatContext& input, int videoIndex, int audioIndex,
                     const std::string& outputPath, const std::string& options, std::string& error);

inline constexpr int kCopiedVideo = kCopiedVideoStream;
inline constexpr int kCopiedSound = kCopiedAudioStream;

}  // namespace ostrel::engine::ff
