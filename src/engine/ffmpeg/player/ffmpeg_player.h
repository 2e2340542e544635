// The FFmpeg and SDL based preview player, with the figures its tests and benchmark read.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/engine.h"

namespace ostrel::engine::ff {

// How playback went since the media was opened (or the figures were reset).
struct PlayerStatistics {
    bool audioOutput = false;  // the sound plays through an audio device (audio is master)
    std::int64_t framesShown = 0;
    std::int64_t framesDropped = 0;  // decoded in time order but late, skipped unshown
    // |picture time - audio clock| at the moment each picture was handed to the host, while the
    // audio clock was running.
    std::int64_t syncSamples = 0;
    double syncMaxMs = 0.0;
    double syncMeanMs = 0.0;
    std::int64_t syncOver40Ms = 0;  // samples 40 ms or more apart
    // From the last Seek call to the first picture of the new position handed to the host;
    // negative before the first seek has shown its picture.
    double lastSeekLatencyMs = -1.0;
    // The audio clock (media time of the sound leaving the device), NaN-free: -1 when none.
    double audioClockSeconds = -1.0;
    // Sound handed to the audio device so far, in bytes of its format (s16, native order).
    std::int64_t audioBytesOut = 0;
    int audioSampleRate = 0;
    int audioChannels = 0;
};

class FfmpegPlayer : public Player {
  public:
    virtual PlayerStatistics Statistics() const = 0;
    virtual void ResetStatistics() = 0;
};

std::unique_ptr<FfmpegPlayer> CreateFfmpegPlayer();

}  // namespace ostrel::engine::ff
