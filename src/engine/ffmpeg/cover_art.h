// The cover of an audio file: the input's attached picture becomes the output's, as an
// attached picture (never a video stream). It is copied when the output's container takes its
// codec and re-encoded once, at its size, when it does not. Containers without a place for a
// cover (and OGG, whose muxer has none) get none.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/ffmpeg/av_util.h"
#include "engine/ffmpeg/metadata.h"

namespace ostrel::engine::ff {

class CoverArt {
  public:
    // Adds the cover stream to output, before its header is written, when the input has a
    // cover and output's muxer holds one. A cover that cannot be decoded or re-encoded is left
    // out: the sound is what the conversion is for. False only when out of memory.
    bool Add(const AVFormatContext& input, AVFormatContext& output, TagPolicy policy);
    // Writes the picture; call right after the header (MP3 holds back the sound until then).
    bool Write(AVFormatContext& output, std::string& error);
    bool Present() const { return stream_ != nullptr; }

  private:
    // The picture in a codec of the muxer's: a copy of the input's packet or a new encoding.
    bool Prepare(const AVStream& input, const std::vector<AVCodecID>& accepted);
    // photoCodec: the codec for pictures without transparency or a palette.
    bool Reencode(const AVStream& input, AVCodecID photoCodec);

    struct ParametersDeleter {
        void operator()(AVCodecParameters* parameters) const {
            avcodec_parameters_free(&parameters);
        }
    };

    PacketPtr packet_;                                                  // the picture
    std::unique_ptr<AVCodecParameters, ParametersDeleter> parameters_;  // of the picture
    AVStream* stream_ = nullptr;
};

}  // namespace ostrel::engine::ff
