// Encodes one stream of an output: frames in, packets out to a sink. The settings are final
// here; the encoder constraints have already fitted them to what the encoder takes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/ffmpeg/av_util.h"
#include "engine/ffmpeg/job.h"

namespace ostrel::engine::ff {

struct VideoEncoderSettings {
    const AVCodec* codec = nullptr;
    int width = 0;
    int height = 0;
    AVRational sampleAspectRatio{0, 1};
    AVPixelFormat pixelFormat = AV_PIX_FMT_NONE;
    AVRational frameRate{25, 1};
    std::int64_t bitrate = -1;  // bit/s; -1: the encoder's default; 0: no target
    const TargetSettings* target = nullptr;
    const CodecConstraints* constraints = nullptr;        // a device's profile, level and limits
    std::string x264Preset;                               // empty: "medium"
    const std::vector<EncoderOption>* options = nullptr;  // the encoder's private options
    // What the pictures are: written into the stream where the encoder signals them.
    AVColorPrimaries colorPrimaries = AVCOL_PRI_UNSPECIFIED;
    AVColorTransferCharacteristic colorTransfer = AVCOL_TRC_UNSPECIFIED;
    AVColorSpace colorSpace = AVCOL_SPC_UNSPECIFIED;
    AVColorRange colorRange = AVCOL_RANGE_UNSPECIFIED;
    int threads = 1;  // the task's share, before the encoder's own rule
    bool globalHeader = false;
    // Two-pass encoding: 1 or 2 (0: one pass); the statistics file of libx264 and libx265,
    // libvpx's statistics of the first pass for the second.
    int pass = 0;
    std::string statsPath;
    std::string passStats;
};

struct AudioEncoderSettings {
    const AVCodec* codec = nullptr;
    int sampleRate = 0;
    ChannelLayout layout;
    AVSampleFormat sampleFormat = AV_SAMPLE_FMT_NONE;
    std::int64_t bitrate = -1;  // bit/s; -1 or 0: the encoder's default
    int threads = 1;
    bool globalHeader = false;
};

// The pixel format a "-pix_fmt" asks for where the encoder takes it, else fitted.
AVPixelFormat PreferredPixelFormat(const AVCodec& codec, const std::string& requested,
                                   AVPixelFormat fitted);

class StreamEncoder {
  public:
    // Receives each encoded packet (owned by the encoder, valid for the call); false stops.
    using PacketSink = std::function<bool(AVPacket* packet)>;

    StreamEncoder() = default;
    StreamEncoder(const StreamEncoder&) = delete;
    StreamEncoder& operator=(const StreamEncoder&) = delete;
    ~StreamEncoder();

    bool OpenVideo(const VideoEncoderSettings& settings, std::string& error);
    bool OpenAudio(const AudioEncoderSettings& settings, std::string& error);
    bool IsOpen() const { return context_ != nullptr; }

    // Sends a frame (null: the end of the stream, which drains the encoder once) and hands every
    // packet that is ready to sink. False with error set when encoding failed, with error empty
    // when the sink stopped.
    bool Encode(const AVFrame* frame, const PacketSink& sink, std::string& error);

    AVCodecContext* Context() const { return context_.get(); }

  private:
    bool Open(Dictionary& options, std::string& error);

    CodecContextPtr context_;
    PacketPtr packet_;
    bool flushed_ = false;
};

}  // namespace ostrel::engine::ff
