// What the player shows for sound without pictures: the file's cover (its attached picture,
// or a cover image beside it), or else a live waveform of the sound being played.
//
// The waveform reads a short history of the sound that the feeder wrote (SoundScope, mixed
// to one channel) at the media time the device is playing, so the picture follows what is
// heard, not what was decoded ahead.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/engine.h"
#include "engine/ffmpeg/av_util.h"

namespace ostrel::engine::ff {

// The names of the cover images looked for beside a sound file, in this order.
inline constexpr const char* kCoverFileNames[] = {"cover.jpg", "folder.jpg", "front.jpg"};

// The cover of the media: its attached picture, else the first cover image beside path that
// decodes; null when there is none.
FramePtr LoadCoverPicture(AVFormatContext* input, const std::filesystem::path& path);

// The last few seconds of the sound written to the device, one channel, at the device's rate.
// The feeder writes, the presentation thread reads; both under the scope's own lock (never the
// audio callback's).
class SoundScope {
  public:
    explicit SoundScope(int sampleRate);

    // Interleaved S16 sound of channels channels whose first sample plays at startPtsS. Sound
    // that does not follow what came before (a seek) starts the history afresh.
    void Write(const std::int16_t* samples, int frames, int channels, double startPtsS, int serial);
    // The count samples that end at endPtsS on serial; silence where the history has none.
    void Read(double endPtsS, int serial, std::vector<std::int16_t>& out) const;
    int SampleRate() const { return sampleRate_; }

  private:
    const int sampleRate_;
    mutable std::mutex mutex_;
    std::vector<std::int16_t> ring_;  // ring_[i % size] is sample number i
    std::int64_t written_ = 0;        // samples written since the history started
    double startPtsS_ = 0.0;          // the media time of sample number 0
    int serial_ = -1;
};

// A waveform picture of display size: per column the range of the samples that fall into it,
// drawn from the centre line; black where there is no sound.
std::shared_ptr<const VideoFrame> DrawWaveform(const std::vector<std::int16_t>& samples,
                                               PictureSize display, std::int64_t ptsUs);

}  // namespace ostrel::engine::ff
