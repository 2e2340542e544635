// Pause, end, seek requests and the play state of one opened media, under one lock. Each
// method that changes the state returns the state event to post (none when nothing changed);
// the caller posts it after the call, with no lock held.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>

namespace ostrel::engine::ff {

class Clocks;

// A seek the read thread is to carry out.
struct SeekRequest {
    std::int64_t targetUs = 0;  // media time from the start
    std::uint64_t number = 0;   // the how-manieth request, for SeekDone
    bool keyFrame = false;      // land on the key frame before the target, not on the target
};

class PlaybackControl {
  public:
    explicit PlaybackControl(Clocks& clocks);

    using StateEvent = std::optional<int>;  // a kPlayer… state to post

    StateEvent Pause(double nowS);
    StateEvent Resume(double nowS);
    // A seek to targetUs was asked for: an ended media stays paused at the new position.
    StateEvent RequestSeek(std::int64_t targetUs, double nowS, bool keyFrame = false);
    // The presentation thread found everything played: paused at the end.
    StateEvent End(double nowS);

    // The read thread: the request to carry out, if any (its first picture is then awaited).
    std::optional<SeekRequest> TakeSeek();
    // The queues are on the new serial: the end may be judged again unless a newer request came.
    void SeekDone(std::uint64_t number);
    // The first picture of the seek was shown now: the time since the request in ms, once.
    std::optional<double> SeekShown(double nowS);

    bool Paused() const;
    bool Ended() const;
    int State() const;
    // The pause, readable without the lock (the audio callback's).
    const std::atomic<bool>& PausedFlag() const { return pausedFlag_; }

  private:
    void SetPausedLocked(bool paused, double nowS);
    StateEvent SetStateLocked(int state);

    Clocks& clocks_;
    mutable std::mutex mutex_;
    int state_;
    bool paused_ = false;
    bool ended_ = false;
    bool seekRequested_ = false;
    bool seekPending_ = false;  // a seek whose first picture has not been shown
    std::uint64_t seekRequests_ = 0;
    std::int64_t seekTargetUs_ = 0;
    bool seekKeyFrame_ = false;
    double seekRequestS_ = 0.0;
    std::atomic<bool> pausedFlag_{false};  // written under mutex_ only
};

}  // namespace ostrel::engine::ff
