#include "engine/ffmpeg/player/presenter.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "engine/ffmpeg/host_events.h"
#include "engine/ffmpeg/player/media_session.h"

namespace ostrel::engine::ff {
namespace {

constexpr double kPositionIntervalS = 0.1;    // between position events
constexpr double kUntilWokenS = 3600.0;       // nothing due: until a wake or the stop
constexpr double kSoundEndStepS = 0.01;       // the sound's end is due but not yet played out
constexpr double kSoundViewIntervalS = 0.04;  // between pictures of the live sound view
constexpr double kSoundViewSpanS = 0.05;      // the stretch of sound one picture shows

}  // namespace

Presenter::Presenter(MediaSession& session) : session_(session) {}

void Presenter::Run(const void* owner) {
    HostEvents::OwnerMark mark(owner);
    const std::stop_token stop = session_.StopToken();
    while (!stop.stop_requested()) {
        const double nowS = NowSeconds();
        const bool paused = session_.control.Paused();
        double waitS = kUntilWokenS;
        const bool redraw = session_.redraw.exchange(false);
        if (redraw) {
            Redraw();
        }
        if (session_.HasVideo()) {
            waitS = ShowDue(nowS, paused, waitS);
        } else {
            waitS = ShowSound(nowS, paused, redraw || !soundShown_);
        }
        if (!paused && !CheckEnd(nowS)) {
            waitS = std::min(waitS, SoundEndWaitS(nowS));
        }
        session_.presentSleeper.SleepUntil(
            stop, std::chrono::steady_clock::now() +
                      std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                          std::chrono::duration<double>(std::max(waitS, 0.001))));
    }
}

double Presenter::SoundEndWaitS(double nowS) {
    // The device gives no wake-up (its callback takes no lock): once all the sound was written,
    // the presenter looks again when the audio clock reaches its end. Everything else that the
    // end waits for wakes it.
    const AudioOutput* sound = session_.Sound();
    if (sound == nullptr || sound->EndedSerial() != session_.audioPackets.Serial() ||
        sound->Drained()) {
        return kUntilWokenS;
    }
    const double leftS = sound->WrittenEndPtsS() - session_.clocks.Audio(nowS);
    if (std::isnan(leftS)) {
        return kPositionIntervalS;
    }
    return std::max(leftS, kSoundEndStepS);
}

double Presenter::ShowDue(double nowS, bool paused, double waitS) {
    PictureQueue& pictures = session_.pictures;
    for (;;) {
        if (!next_) {
            PictureQueue::Entry entry;
            if (!pictures.TryPop(entry)) {
                return waitS;
            }
            next_ = std::move(entry.item);
        }
        if (next_->serial != pictures.Serial()) {
            next_.reset();  // read before a seek
            continue;
        }
        if (paused) {
            // A seek while paused shows where it landed, the clocks stay still.
            if (!lastShown_ || lastShown_->serial != next_->serial) {
                Present(std::move(next_), nowS, paused);
            }
            return waitS;
        }
        const double master = session_.clocks.MasterFor(next_->ptsS, nowS);
        const bool timed = !std::isnan(master) && !std::isnan(next_->ptsS) &&
                           std::fabs(next_->ptsS - master) < Clocks::kNoSyncThresholdS &&
                           lastShown_ && lastShown_->serial == next_->serial;
        if (timed && next_->ptsS > master) {
            return std::min(waitS, next_->ptsS - master);  // not yet
        }
        std::shared_ptr<const Picture> after;
        pictures.Peek([&after](const PictureQueue::Entry& entry) { after = entry.item; });
        if (timed && after && after->serial == next_->serial && !std::isnan(after->ptsS) &&
            after->ptsS <= master) {
            // Its successor is due as well: this one is late, skip it.
            next_.reset();
            session_.stats.Dropped();
            continue;
        }
        Present(std::move(next_), nowS, paused);
        return 0.0;  // at once again: the next picture may be queued already
    }
}

void Presenter::Present(std::shared_ptr<const Picture> picture, double nowS, bool paused) {
    std::shared_ptr<const VideoFrame> frame = picture->scaled;
    const PictureSize size = session_.targetSize.load();
    if (!frame || frame->width != size.width || frame->height != size.height) {
        frame = scaler_.Scale(picture->frame.get(), size, ToMicroseconds(picture->ptsS));
    }
    session_.clocks.PictureShown(picture->ptsS, picture->serial, nowS, paused);
    session_.shownPtsS = picture->ptsS;
    double driftMs = -1.0;
    if (session_.Sound() != nullptr && !paused && !std::isnan(picture->ptsS)) {
        const double audio = session_.clocks.Audio(nowS);
        const double drift = std::fabs(picture->ptsS - audio) * 1000.0;
        if (!std::isnan(audio) && drift < Clocks::kNoSyncThresholdS * 1000.0) {
            driftMs = drift;
        }
    }
    session_.stats.Shown(driftMs);
    if (picture->serial == session_.pictures.Serial()) {
        if (const std::optional<double> latencyMs = session_.control.SeekShown(nowS)) {
            session_.stats.SeekShown(*latencyMs);
        }
    }
    const bool postPosition = picture->serial != lastPositionSerial_ ||
                              nowS - lastPositionS_ >= kPositionIntervalS || paused;
    const double ptsS = picture->ptsS;
    lastPositionSerial_ = picture->serial;
    lastShown_ = std::move(picture);
    session_.Posts().frame(std::move(frame));
    if (postPosition && !std::isnan(ptsS)) {
        lastPositionS_ = nowS;
        session_.Posts().position(std::max<std::int64_t>(0, ToMicroseconds(ptsS)));
    }
}

void Presenter::Redraw() {
    if (!lastShown_) {
        return;
    }
    const PictureSize size = session_.targetSize.load();
    session_.Posts().frame(
        scaler_.Scale(lastShown_->frame.get(), size, ToMicroseconds(lastShown_->ptsS)));
    session_.Posts().state(kPlayerRepaint);
}

double Presenter::ShowSound(double nowS, bool paused, bool again) {
    const PictureSize size = session_.targetSize.load();
    double waitS = paused ? kUntilWokenS : kPositionIntervalS;
    if (const AVFrame* cover = session_.Cover()) {
        if (again) {
            // The cover, shaped as any picture; made again only for a new display size.
            if (auto frame = scaler_.Scale(cover, size, 0)) {
                session_.Posts().frame(std::move(frame));
                soundShown_ = true;
            }
        }
    } else if (SoundScope* scope = session_.Scope(); scope != nullptr && (!paused || again)) {
        const double playingS = session_.clocks.Audio(nowS);
        scopeSamples_.resize(static_cast<std::size_t>(
            std::max(1L, std::lrint(kSoundViewSpanS * scope->SampleRate()))));
        scope->Read(playingS, session_.audioPackets.Serial(), scopeSamples_);
        if (auto frame = DrawWaveform(scopeSamples_, size, ToMicroseconds(playingS))) {
            session_.Posts().frame(std::move(frame));
            soundShown_ = true;
        }
        if (!paused) {
            waitS = kSoundViewIntervalS;
        }
    }
    if (!paused) {
        SoundPosition(nowS);
    }
    return waitS;
}

void Presenter::SoundPosition(double nowS) {
    // Sound only: the position follows the audio clock.
    const double positionS = session_.clocks.Master(nowS);
    if (!std::isnan(positionS) && nowS - lastPositionS_ >= kPositionIntervalS) {
        lastPositionS_ = nowS;
        // The audio clock is set again at every device callback; a callback that comes late
        // sets it a little behind what was extrapolated before. Between seeks the position the
        // window sees never goes back.
        std::int64_t positionUs = std::max<std::int64_t>(0, ToMicroseconds(positionS));
        const int serial = session_.audioPackets.Serial();
        if (serial == lastSoundSerial_) {
            positionUs = std::max(positionUs, lastSoundPositionUs_);
        }
        lastSoundSerial_ = serial;
        lastSoundPositionUs_ = positionUs;
        session_.Posts().position(positionUs);
    }
}

bool Presenter::CheckEnd(double nowS) {
    const bool videoDone =
        !session_.HasVideo() || (session_.videoFinished == session_.pictures.Serial() && !next_ &&
                                 session_.pictures.Size() == 0);
    const AudioOutput* sound = session_.Sound();
    const bool audioDone =
        sound == nullptr ||
        (sound->EndedSerial() == session_.audioPackets.Serial() && sound->Drained());
    if (!session_.readEnded || !videoDone || !audioDone) {
        return false;
    }
    if (const PlaybackControl::StateEvent state = session_.control.End(nowS)) {
        session_.Posts().state(*state);
    }
    return true;
}

}  // namespace ostrel::engine::ff
