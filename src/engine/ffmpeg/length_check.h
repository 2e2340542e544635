// Whether a conversion got all of its input: the length the input's container declares, the
// length its streams actually held, and the output's length, compared once the output is
// finished.
//
// Two questions, each against the same tolerance (one second or 1 %, whichever is larger):
// - Does the input end early? Its packets, of every stream, must reach the length the container
//   declares, counted from the first sample played (AVI and WAV headers are read here, as FFmpeg
//   derives their lengths from the data present; the other containers' declared lengths are
//   FFmpeg's stream durations). Streams that are not converted count too: a subtitle ending after
//   the picture is no cut.
// - Did the conversion lose the end? The output must reach the end of the converted streams'
//   packets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/ffmpeg/av_util.h"

namespace ostrel::engine::ff {

class LengthCheck {
  public:
    // Learns what the opened input declares; path is the file's, for the headers read here.
    void Start(const AVFormatContext& input, const std::string& path);
    // Marks a stream as converted (its packets set the length the output must reach).
    void Convert(int streamIndex);
    // Counts a packet the demuxer gave, before it is decoded.
    void Saw(const AVPacket& packet);

    // The input's length for progress, in microseconds: declared, else FFmpeg's estimate; 0
    // when unknown.
    std::int64_t ExpectedUs() const { return declaredUs_ > 0 ? declaredUs_ : estimatedUs_; }
    // The end of one stream's packets so far, from the input's start, in microseconds.
    std::int64_t StreamEndUs(int streamIndex) const;
    // The end of the converted streams' packets, from the input's start, in microseconds.
    std::int64_t ConvertedEndUs() const;
    // Whether the packets seen so far, of every stream, fall short of the declared length.
    bool EndsEarly() const;
    // Empty when outputUs is complete, else the text saying why not.
    std::string Check(std::int64_t outputUs) const;

    // The length an AVI or WAV header declares, in microseconds; 0 when it declares none
    // (another container, a streamed WAV, a header not understood).
    static std::int64_t RiffDeclaredUs(const std::string& path);
    // The tolerance for a length.
    static std::int64_t ToleranceUs(std::int64_t lengthUs);

  private:
    struct StreamEnd {
        AVRational timeBase{1, 1};
        int sampleRate = 0;
        std::int64_t startPts = 0;
        std::int64_t endUs = 0;
        std::int64_t skippedUs = -1;  // the start the decoder skips; -1 before the first packet
        bool converted = false;
    };
    // The declared length from the first sample played: some containers (Ogg) count the
    // samples a decoder skips at the start (an Opus pre-skip, up to 1.37 s) in their length.
    std::int64_t PlayedDeclaredUs() const;
    std::vector<StreamEnd> streams_;
    std::int64_t declaredUs_ = 0;
    std::int64_t estimatedUs_ = 0;
};

}  // namespace ostrel::engine::ff
