// The output of one task: the muxer writing a temporary file in the target folder, renamed to
// the output's name only when everything succeeded. An output that is not committed leaves
// nothing behind.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "engine/ffmpeg/av_util.h"
#include "engine/ffmpeg/job.h"

namespace ostrel::engine::ff {

class Output {
  public:
    // interrupt, when given, ends blocking writes once set; it must outlive the output.
    Output(std::string path, const std::atomic<bool>* interrupt);
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    ~Output();  // removes the temporary file unless committed

    // The muxer by name; its streams are added next.
    bool Create(const std::string& muxer, std::string& error);
    // Encoders of this muxer must put their headers in the stream parameters.
    bool NeedsGlobalHeader() const;
    // A stream with the encoder's parameters; null with error set on failure.
    AVStream* AddStream(const AVCodecContext& encoder, std::string& error);
    // Creates the temporary file and writes the header.
    bool Open(const TargetSettings& target, std::string& error);
    // Writes an encoded packet of the encoder's time base to its stream.
    bool Write(AVPacket* packet, AVRational encoderTimeBase, const AVStream& stream,
               std::string& error);
    // The end time of the last packet written, in microseconds.
    std::int64_t PositionUs() const { return positionUs_; }
    // Writes the trailer and closes the file.
    bool Finish(std::string& error);
    // Gives the finished file its name.
    bool Commit(std::string& error);

    const std::string& TemporaryPath() const { return temporaryPath_; }
    // The muxer, for what goes into the header besides the streams (tags, chapters).
    AVFormatContext* Context() const { return context_.get(); }

  private:
    std::string path_;
    std::string temporaryPath_;
    const std::atomic<bool>* interrupt_;
    OutputContextPtr context_;
    std::int64_t positionUs_ = 0;
    bool committed_ = false;
};

// The temporary name used while writing outputPath: ".<name>.ostrel-tmp-<pid>-<n>.<ext>".
std::string TemporaryPathFor(const std::string& outputPath);

// The lower-case extension of a path, without the dot; empty when there is none.
std::string ExtensionOf(const std::string& path);

}  // namespace ostrel::engine::ff
