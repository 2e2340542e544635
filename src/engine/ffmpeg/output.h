// The output of one task: the muxer writing a temporary file in the target folder, renamed to
// the output's name only when everything succeeded. An output that is not committed leaves
// nothing behind.
//
// The temporary file is created by the engine itself, exclusively and without following links
// (O_CREAT | O_EXCL | O_NOFOLLOW, a random part in its name), and the muxer writes to that
// descriptor through a seekable AVIOContext: a link planted in the folder cannot redirect the
// output. The final rename never replaces a file: when the name was taken during the run, the
// next free " (n)" name is used and reported.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

#include "engine/ffmpeg/av_util.h"
#include "engine/ffmpeg/job.h"

namespace ostrel::engine::ff {

class Output {
  public:
    // stop, once stopped, ends blocking writes.
    Output(std::string path, std::stop_token stop);
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
    // The end time of the last packet written, in microseconds, its own duration counted.
    std::int64_t PositionUs() const { return positionUs_; }
    // How many packets were written to a stream.
    std::int64_t PacketsWritten(int streamIndex) const;
    // Writes the trailer and closes the file.
    bool Finish(std::string& error);
    // Gives the finished file its name: the planned one, or the next free " (n)" name when a
    // file took the planned name meanwhile. WrittenPath() then says which.
    bool Commit(std::string& error);

    const std::string& TemporaryPath() const { return temporaryPath_; }
    // The muxer, for what goes into the header besides the streams (tags, chapters).
    AVFormatContext* Context() const { return context_.get(); }
    const std::string& WrittenPath() const { return writtenPath_; }

  private:
    struct FileSink;

    bool CreateTemporaryFile(std::string& error);
    // sync: the data goes to the disk first (a finished file, not one being discarded).
    bool CloseFile(bool sync, std::string& error);

    std::string path_;
    std::string temporaryPath_;
    std::string writtenPath_;
    std::stop_token stop_;
    OutputContextPtr context_;
    std::unique_ptr<FileSink> sink_;
    std::int64_t positionUs_ = 0;
    std::vector<std::int64_t> packetsWritten_;
    bool committed_ = false;
};

// The temporary name used while writing outputPath, ".<stem>.ostrel-tmp-<pid>-<random>.<ext>",
// with the stem's copy shortened so that the name fits wherever the output's name fits.
std::string TemporaryPathFor(const std::string& outputPath, const std::string& randomPart);

// The process id in a temporary name made by TemporaryPathFor; 0 when the name is not one.
long TemporaryFileOwner(const std::string& fileName);

// Removes the temporary files in folder that processes which no longer exist left behind
// (killed, or a machine that lost power). Only regular files of this user are removed.
// Returns how many were removed.
int RemoveStaleTemporaryFiles(const std::string& folder);

// Renames from to to without ever replacing a file; when to is taken, the next free name
// "<stem> (n).<ext>" is used. Returns the name given, or empty with error set.
std::string RenameWithoutReplacing(const std::string& from, const std::string& to,
                                   std::string& error);

// The lower-case extension of a path, without the dot; empty when there is none.
std::string ExtensionOf(const std::string& path);

}  // namespace ostrel::engine::ff
