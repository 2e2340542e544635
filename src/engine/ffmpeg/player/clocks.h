// The player's clocks, as ffplay keeps them: the audio clock (the media time of the sound
// leaving the device, read from what the audio output published), the video clock (the time
// of the picture shown last) and an external (system) clock that leads when there is no sound
// and follows the others otherwise. All three sit under one lock of their own.
#pragma once

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <mutex>

namespace ostrel::engine::ff {

class AudioOutput;

// Seconds on a monotonic clock, the time base of every clock of the player.
inline double NowSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Seconds as whole microseconds; 0 for NaN (no time).
inline std::int64_t ToMicroseconds(double seconds) {
    return std::isnan(seconds) ? 0 : static_cast<std::int64_t>(std::llround(seconds * 1e6));
}

// A clock that runs in real time from the last time it was set. A clock set for a serial that
// its queue has since left reads NaN. Not synchronised: Clocks guards its clocks.
class Clock {
  public:
    explicit Clock(const std::atomic<int>* queueSerial = nullptr) : queueSerial_(queueSerial) {}

    double Get(double nowS) const;
    void SetAt(double ptsS, int serial, double atS);
    // Freezes or thaws the clock at its current reading.
    void SetPaused(bool paused, double nowS);
    void Invalidate();
    // A clock without a queue follows another clock when it has none or drifted away.
    void FollowIfApart(const Clock& other, double nowS, double maxApartS);

  private:
    const std::atomic<int>* queueSerial_;
    double ptsS_ = NAN;
    double driftS_ = NAN;
    int serial_ = -1;
    bool paused_ = false;
};

class Clocks {
  public:
    // A picture more than this far from the master clock is not timed by it (a jump in the
    // timestamps, not a sync error).
    static constexpr double kNoSyncThresholdS = 10.0;

    // The serials are those of the sound and picture packet queues.
    Clocks(const std::atomic<int>& audioSerial, const std::atomic<int>& videoSerial);
    // The sound plays on output (before the threads start); without one the external clock
    // leads.
    void UseOutput(const AudioOutput* output) { output_ = output; }

    // The clock pictures are timed by: the audio clock while sound plays, else the external.
    double Master(double nowS);
    // The master clock, or the video clock when the master is unusable for a picture at ptsS.
    double MasterFor(double ptsS, double nowS);
    double Audio(double nowS);
    // A picture of serial at ptsS is shown now.
    void PictureShown(double ptsS, int serial, double nowS, bool paused);
    void SetPaused(bool paused, double nowS);
    void InvalidateExternal();

  private:
    // Takes what the audio output published since the last look (with mutex_ held).
    void TakePlayedSound();

    const AudioOutput* output_ = nullptr;
    std::mutex mutex_;
    Clock audio_;
    Clock video_;
    Clock external_;
    std::uint32_t playedSequence_ = 0;
};

}  // namespace ostrel::engine::ff
