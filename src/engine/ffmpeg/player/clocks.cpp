#include "engine/ffmpeg/player/clocks.h"

#include "engine/ffmpeg/player/audio_output.h"

namespace ostrel::engine::ff {

double Clock::Get(double nowS) const {
    if (queueSerial_ != nullptr && queueSerial_->load() != serial_) {
        return NAN;
    }
    if (paused_) {
        return ptsS_;
    }
    return driftS_ + nowS;
}

void Clock::SetAt(double ptsS, int serial, double atS) {
    ptsS_ = ptsS;
    driftS_ = ptsS - atS;
    serial_ = serial;
}

void Clock::SetPaused(bool paused, double nowS) {
    const double value = Get(nowS);
    paused_ = paused;
    if (!std::isnan(value)) {
        SetAt(value, serial_, nowS);
    }
}

void Clock::Invalidate() {
    ptsS_ = NAN;
    driftS_ = NAN;
    serial_ = -1;
}

void Clock::FollowIfApart(const Clock& other, double nowS, double maxApartS) {
    const double mine = Get(nowS);
    const double theirs = other.Get(nowS);
    if (!std::isnan(theirs) && (std::isnan(mine) || std::fabs(mine - theirs) > maxApartS)) {
        SetAt(theirs, other.serial_, nowS);
    }
}

Clocks::Clocks(const std::atomic<int>& audioSerial, const std::atomic<int>& videoSerial)
    : audio_(&audioSerial), video_(&videoSerial) {}

void Clocks::TakePlayedSound() {
    if (output_ == nullptr) {
        return;
    }
    const PlayedSound played = output_->Played();
    if (played.sequence == 0 || played.sequence == playedSequence_) {
        return;
    }
    playedSequence_ = played.sequence;
    audio_.SetAt(played.ptsS, played.serial, played.atS);
    external_.FollowIfApart(audio_, played.atS, 0.0);
}

double Clocks::Master(double nowS) {
    std::lock_guard lock(mutex_);
    TakePlayedSound();
    if (output_ != nullptr && !output_->Drained()) {
        const double audio = audio_.Get(nowS);
        if (!std::isnan(audio)) {
            return audio;
        }
    }
    return external_.Get(nowS);
}

double Clocks::MasterFor(double ptsS, double nowS) {
    const double master = Master(nowS);
    if (!std::isnan(master) && !std::isnan(ptsS) && std::fabs(ptsS - master) < kNoSyncThresholdS) {
        return master;
    }
    // No usable master (a jump in the timestamps): the pictures keep their own pace.
    std::lock_guard lock(mutex_);
    return video_.Get(nowS);
}

double Clocks::Audio(double nowS) {
    std::lock_guard lock(mutex_);
    TakePlayedSound();
    return audio_.Get(nowS);
}

void Clocks::PictureShown(double ptsS, int serial, double nowS, bool paused) {
    if (std::isnan(ptsS)) {
        return;
    }
    std::lock_guard lock(mutex_);
    video_.SetAt(ptsS, serial, nowS);
    if (paused) {
        video_.SetPaused(true, nowS);
    }
    external_.FollowIfApart(video_, nowS, kNoSyncThresholdS);
}

void Clocks::SetPaused(bool paused, double nowS) {
    std::lock_guard lock(mutex_);
    TakePlayedSound();
    for (Clock* clock : {&audio_, &video_, &external_}) {
        clock->SetPaused(paused, nowS);
    }
}

void Clocks::InvalidateExternal() {
    std::lock_guard lock(mutex_);
    external_.Invalidate();
}

}  // namespace ostrel::engine::ff
