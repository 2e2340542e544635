#include "engine/ffmpeg/player/playback_control.h"

#include "engine/engine.h"
#include "engine/ffmpeg/player/clocks.h"

namespace ostrel::engine::ff {

PlaybackControl::PlaybackControl(Clocks& clocks) : clocks_(clocks), state_(kPlayerPlaying) {}

void PlaybackControl::SetPausedLocked(bool paused, double nowS) {
    if (paused_ != paused) {
        paused_ = paused;
        pausedFlag_ = paused;
        clocks_.SetPaused(paused, nowS);
    }
}

PlaybackControl::StateEvent PlaybackControl::SetStateLocked(int state) {
    if (state_ == state) {
        return std::nullopt;
    }
    state_ = state;
    return state;
}

PlaybackControl::StateEvent PlaybackControl::Pause(double nowS) {
    std::lock_guard lock(mutex_);
    SetPausedLocked(true, nowS);
    return SetStateLocked(kPlayerPaused);
}

PlaybackControl::StateEvent PlaybackControl::Resume(double nowS) {
    std::lock_guard lock(mutex_);
    SetPausedLocked(false, nowS);
    return SetStateLocked(kPlayerPlaying);
}

PlaybackControl::StateEvent PlaybackControl::RequestSeek(std::int64_t targetUs, double nowS,
                                                         bool keyFrame) {
    std::lock_guard lock(mutex_);
    seekTargetUs_ = targetUs;
    seekKeyFrame_ = keyFrame;
    seekRequested_ = true;
    ++seekRequests_;
    seekRequestS_ = nowS;
    if (!ended_) {
        return std::nullopt;
    }
    ended_ = false;
    return SetStateLocked(kPlayerStopped);  // still paused, at the new position
}

PlaybackControl::StateEvent PlaybackControl::End(double nowS) {
    std::lock_guard lock(mutex_);
    if (paused_ || ended_ || seekRequested_) {
        return std::nullopt;
    }
    ended_ = true;
    SetPausedLocked(true, nowS);
    return SetStateLocked(kPlayerEnded);
}

std::optional<SeekRequest> PlaybackControl::TakeSeek() {
    std::lock_guard lock(mutex_);
    if (!seekRequested_) {
        return std::nullopt;
    }
    seekPending_ = true;
    return SeekRequest{seekTargetUs_, seekRequests_, seekKeyFrame_};
}

void PlaybackControl::SeekDone(std::uint64_t number) {
    std::lock_guard lock(mutex_);
    if (seekRequests_ == number) {
        seekRequested_ = false;
    }
}

std::optional<double> PlaybackControl::SeekShown(double nowS) {
    std::lock_guard lock(mutex_);
    if (!seekPending_) {
        return std::nullopt;
    }
    seekPending_ = false;
    return (nowS - seekRequestS_) * 1000.0;
}

bool PlaybackControl::Paused() const {
    std::lock_guard lock(mutex_);
    return paused_;
}

bool PlaybackControl::Ended() const {
    std::lock_guard lock(mutex_);
    return ended_;
}

int PlaybackControl::State() const {
    std::lock_guard lock(mutex_);
    return state_;
}

}  // namespace ostrel::engine::ff
