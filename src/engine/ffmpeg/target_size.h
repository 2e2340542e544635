// Encoding to a file size: the video bit rate that fills the size over the input's length, and
// the two passes that land on it. The first pass encodes the video only, into the null muxer,
// and leaves the encoder's statistics in a folder of the task's own (libx264, libx265) or in
// memory (libvpx); the second encodes everything with them. The folder is removed whatever
// happens.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace ostrel::engine::ff {

struct SizePlan {
    bool fits = false;
    std::int64_t videoBitrate = 0;   // bit/s
    std::int64_t smallestBytes = 0;  // the smallest size whose video reaches the floor
};

// The lowest video bit rate worth encoding: 100 kbit/s up to 640x480, growing with the
// picture's area above it.
std::int64_t VideoBitrateFloor(int width, int height);

// What the container adds to the streams' own bytes, as a share of them.
double ContainerOverhead(const std::string& muxer);

// The video bit rate for targetBytes over durationUs with the sound's bit rate beside it.
SizePlan PlanTargetSize(std::int64_t targetBytes, std::int64_t durationUs,
                        std::int64_t audioBitrate, int width, int height, const std::string& muxer);

// "The size of 1 MB is too small for 60.0 s: the smallest that works is 2.4 MB".
std::string TooSmallText(std::int64_t targetBytes, std::int64_t durationUs,
                         std::int64_t smallestBytes);

// Whether the encoder's FFmpeg 5.1 wrapper takes two passes.
bool EncodesInTwoPasses(const std::string& encoderName);

// A folder for the first pass's statistics, made in the system's temporary folder and removed
// with everything in it by the destructor.
class PassLogFolder {
  public:
    PassLogFolder();
    ~PassLogFolder();
    PassLogFolder(const PassLogFolder&) = delete;
    PassLogFolder& operator=(const PassLogFolder&) = delete;
    bool Made() const { return !path_.empty(); }
    // The statistics file the encoder writes (and its own companions beside it).
    std::string StatsPath() const { return (path_ / "video-pass.log").string(); }

  private:
    std::filesystem::path path_;
};

}  // namespace ostrel::engine::ff
