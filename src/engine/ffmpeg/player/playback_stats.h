// The figures of how playback goes (PlayerStatistics), counted by the presentation and video
// decode threads and read by the host.
#pragma once

#include <algorithm>
#include <mutex>

#include "engine/ffmpeg/player/ffmpeg_player.h"

namespace ostrel::engine::ff {

class PlaybackStats {
  public:
    // A picture was handed to the host, driftMs from the running audio clock (< 0: none).
    void Shown(double driftMs) {
        std::lock_guard lock(mutex_);
        ++stats_.framesShown;
        if (driftMs >= 0.0) {
            ++stats_.syncSamples;
            syncSumMs_ += driftMs;
            stats_.syncMaxMs = std::max(stats_.syncMaxMs, driftMs);
            stats_.syncOver40Ms += driftMs >= 40.0 ? 1 : 0;
        }
    }
    void Dropped() {
        std::lock_guard lock(mutex_);
        ++stats_.framesDropped;
    }
    void SeekShown(double latencyMs) {
        std::lock_guard lock(mutex_);
        stats_.lastSeekLatencyMs = latencyMs;
    }
    // The counted figures (the sound's are filled in by the caller).
    PlayerStatistics Get() const {
        std::lock_guard lock(mutex_);
        PlayerStatistics stats = stats_;
        stats.syncMeanMs = stats_.syncSamples > 0 ? syncSumMs_ / stats_.syncSamples : 0.0;
        return stats;
    }
    void Reset() {
        std::lock_guard lock(mutex_);
        stats_ = PlayerStatistics();
        syncSumMs_ = 0.0;
    }

  private:
    mutable std::mutex mutex_;
    PlayerStatistics stats_;
    double syncSumMs_ = 0.0;
};

}  // namespace ostrel::engine::ff
