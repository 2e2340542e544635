#include "player/player_controller.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <optional>

#include "common/duration.h"
#include "common/rounding.h"
#include "engine/engine.h"

namespace ostrel {
namespace {

// Whole seconds of a microsecond time, halves to even; nullopt when it does not fit.
std::optional<std::int32_t> WholeSeconds(std::int64_t microseconds) {
    Int64Pair pair;
    SplitInt64(pair, microseconds);
    return RoundHalfEvenToInt32(MicrosecondsToSeconds(pair));
}

// The tenths-of-a-second scale of the seek slider for a whole number of seconds.
std::optional<std::int32_t> Tenths(std::int32_t seconds) {
    return CheckedMul32(10, seconds);
}

}  // namespace

void WaitMilliseconds(int ms) {
    // A monotonic clock: no wrap-around to cope with, and the wait never ends early.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(ms - clock.elapsed()), Qt::PreciseTimer, &loop,
                           &QEventLoop::quit);
        loop.exec();
    }
}

PlayerController::PlayerController(SliderModel& seek, SliderModel& volume, Wait wait,
                                   QObject* parent)
    : QObject(parent), seek_(seek), volume_(volume), wait_(std::move(wait)) {
    if (!wait_) {
        wait_ = WaitMilliseconds;
    }
    SetDurationText(QString());
    dragTimer_ = new QTimer(this);
    dragTimer_->setSingleShot(true);
    connect(dragTimer_, &QTimer::timeout, this, &PlayerController::DragSeekDue);
}

void PlayerController::SetDurationText(const QString& text) {
    durationText_ = text;
    SetTimeText(FormatDuration(0.0) + u'/' + durationText_);
}

void PlayerController::ApplySliderSettings() {
    seek_.SetSmallChange(0);
    seek_.SetLargeChange(0);
    volume_.SetMax(kVolumeMax);
    volume_.SetValue(kVolumeMax);
    volume_.SetSmallChange(0);
    volume_.SetLargeChange(0);
    // The fill shows the full volume from the start, as it will after every release.
    volume_.SetSelLength(volume_.Value());
}

void PlayerController::HandleDurationKnown(std::int64_t durationUs) {
    mediaDurationUs_ = durationUs;
    if (const auto seconds = WholeSeconds(durationUs)) {
        if (const auto max = Tenths(*seconds)) {
            seek_.SetMax(*max);
        }
    }
}

void PlayerController::HandlePositionChanged(std::int64_t positionUs) {
    if (positionUs <= 0 || mediaDurationUs_ <= 0) {
        return;
    }
    const auto seconds = WholeSeconds(positionUs);
    if (!seconds) {
        return;
    }
    // A held thumb stays under the pointer: a thumb pulled back to the playing position ten
    // times a second cannot be dragged to a place.
    if (!thumbHeld_) {
        if (const auto value = Tenths(*seconds)) {
            seek_.SetValue(*value);
        }
        seek_.SetSelLength(seek_.Value());
    }
    SetTimeText(FormatDuration(*seconds) + u'/' + durationText_);
}

void PlayerController::HandleStateChanged(int state) {
    if (state == engine::kPlayerRepaint) {
        emit leaveTopmostRequested();
        if (engine::Player* player = Live();
            player != nullptr && player->VideoWindow() != nullptr) {
            emit videoRepaintRequested();
        }
    } else if (state == engine::kPlayerEnded) {
        // The media stays open, rewound and paused, so the button plays it again.
        if (engine::Player* player = Live()) {
            player->Seek(0, 0, 0, false);
            player->Pause();
        }
        if (!thumbHeld_) {
            seek_.SetValue(0);
            seek_.SetSelLength(0);
        }
        // The text goes back with the thumb: a rewound position of 0 is never reported.
        SetTimeText(FormatDuration(0.0) + u'/' + durationText_);
        SetPauseCaption(kPlayCaption);
    }
}

void PlayerController::PauseButtonClicked() {
    engine::Player* player = Live();
    if (player != nullptr) {
        player->TogglePause();
    }
    SetPauseCaption(player != nullptr && player->IsPaused() ? kPlayCaption : kPauseCaption);
}

void PlayerController::AssignFromRelease(SliderModel& slider, float xTwips, int sliderWidthPx) {
    if (sliderWidthPx == 0) {
        return;  // the division fails: nothing is assigned
    }
    const double v = static_cast<double>(xTwips) * slider.Max() /
                     (static_cast<double>(sliderWidthPx) * kTwipsPerPixel);
    const auto rounded = RoundHalfEvenToInt32(v);
    if (rounded && *rounded >= 0 && *rounded <= slider.Max()) {
        slider.SetValue(*rounded);
    }
}

void PlayerController::SeekMouseDown(int button) {
    if (button == kSliderPrimaryButton) {
        thumbHeld_ = true;
        dragThrottle_.Reset();
    }
}

void PlayerController::SeekMouseMove(int button) {
    if (!thumbHeld_ || (button & kSliderPrimaryButton) == 0 || mediaDurationUs_ <= 0) {
        return;
    }
    seek_.SetSelLength(seek_.Value());
    if (const auto now = dragThrottle_.Offer(SliderTargetUs(), NowMs())) {
        DragSeek(*now);
    } else if (const auto waitMs = dragThrottle_.MsUntilDue(NowMs());
               waitMs && !dragTimer_->isActive()) {
        dragTimer_->start(static_cast<int>(*waitMs));
    }
}

void PlayerController::DragSeekDue() {
    if (!thumbHeld_) {
        return;
    }
    if (const auto target = dragThrottle_.TakeDue(NowMs())) {
        DragSeek(*target);
    } else if (const auto waitMs = dragThrottle_.MsUntilDue(NowMs())) {
        dragTimer_->start(static_cast<int>(*waitMs));
    }
}

void PlayerController::DragSeek(std::int64_t targetUs) {
    if (engine::Player* player = Live()) {
        Int64Pair target;
        SplitInt64(target, targetUs);
        player->Seek(target.Low, target.High, engine::kSeekKeyFrame, false);
    }
}

std::int64_t PlayerController::NowMs() const {
    static const QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return clock.elapsed();
}

void PlayerController::SeekMouseUp(int button, float xTwips, int sliderWidthPx) {
    if (button != kSliderPrimaryButton) {
        return;
    }
    thumbHeld_ = false;
    dragTimer_->stop();
    dragThrottle_.Reset();
    emit busyPointer(true);
    AssignFromRelease(seek_, xTwips, sliderWidthPx);
    SeekToSliderValue();
    emit busyPointer(false);
    seek_.SetSelLength(seek_.Value());
}

std::int64_t PlayerController::SliderTargetUs() const {
    // MediaDuration × Value ÷ Max: the product exactly, the quotient in double precision.
    // (A product beyond 64 bits, a length of thousands of years, is taken in double precision.)
    if (seek_.Max() == 0) {
        return 0;
    }
    std::int64_t product = 0;
    const double exactOrNear =
        __builtin_mul_overflow(mediaDurationUs_, std::int64_t{seek_.Value()}, &product)
            ? static_cast<double>(mediaDurationUs_) * seek_.Value()
            : static_cast<double>(product);
    return RoundHalfEven(exactOrNear / seek_.Max()).value_or(0);
}

void PlayerController::SeekToSliderValue() {
    Int64Pair target;
    SplitInt64(target, SliderTargetUs());
    engine::Player* player = Live();
    if (player == nullptr) {
        return;
    }
    player->Seek(target.Low, target.High, 0, false);
    const int state = player->PlayState();
    if (state == engine::kPlayerPaused || state == engine::kPlayerStopped) {
        // Paused or stopped media does not show the frame of a seek by itself: play a moment
        // and seek again to the same target, which leaves it paused on that frame.
        player->Resume();
        player->Pause();
        wait_(kSeekSettleWaitMs);
        // The window may have been closed while events ran.
        if (engine::Player* still = Live()) {
            still->Seek(target.Low, target.High, 0, false);
        }
    }
}

void PlayerController::SeekClicked() {
    seek_.SetSelLength(seek_.Value());
}

void PlayerController::VolumeMouseUp(int button, float xTwips, int sliderWidthPx) {
    if (button != kSliderPrimaryButton) {
        return;
    }
    emit busyPointer(true);
    AssignFromRelease(volume_, xTwips, sliderWidthPx);
    // The level is a byte: a value outside it is not passed on.
    if (engine::Player* player = Live();
        player != nullptr && volume_.Value() >= 0 && volume_.Value() <= 255) {
        player->SetAudioLevel(volume_.Value());
    }
    emit busyPointer(false);
    volume_.SetSelLength(volume_.Value());
}

void PlayerController::VolumeKeyDown(int keyCode) {
    int step = 0;
    switch (keyCode) {
        case kSliderKeyUp:
        case kSliderKeyRight:
            step = kVolumeKeyStep;
            break;
        case kSliderKeyDown:
        case kSliderKeyLeft:
            step = -kVolumeKeyStep;
            break;
        case kSliderKeyPageUp:
            step = kVolumePageStep;
            break;
        case kSliderKeyPageDown:
            step = -kVolumePageStep;
            break;
        default:
            return;
    }
    const int value = std::clamp(volume_.Value() + step, 0, kVolumeMax);
    volume_.SetValue(value);
    if (engine::Player* player = Live()) {
        player->SetAudioLevel(value);
    }
    volume_.SetSelLength(value);
}

void PlayerController::VolumeClicked() {
    volume_.SetSelLength(volume_.Value());
}

void PlayerController::MuteClicked() {
    engine::Player* player = Live();
    const bool muted = player != nullptr ? player->Muted() : muteIconShown_;
    if (player != nullptr) {
        player->SetMuted(!muted);
    }
    SetMuteIcon(!muted);
}

void PlayerController::SeekBy(int seconds) {
    if (mediaDurationUs_ <= 0 || seek_.Max() <= 0) {
        return;
    }
    const std::int64_t value = std::clamp<std::int64_t>(
        static_cast<std::int64_t>(seek_.Value()) + 10LL * seconds, 0, seek_.Max());
    emit busyPointer(true);
    seek_.SetValue(static_cast<std::int32_t>(value));
    SeekToSliderValue();
    emit busyPointer(false);
    seek_.SetSelLength(seek_.Value());
}

void PlayerController::StepFrames(int frames) {
    engine::Player* player = Live();
    if (player == nullptr) {
        return;
    }
    if (!player->IsPaused()) {
        player->Pause();
        SetPauseCaption(player->IsPaused() ? kPlayCaption : kPauseCaption);
    }
    player->StepFrames(frames);
}

QStringList PlayerController::SubtitleTracks() const {
    QStringList tracks;
    if (const engine::Player* player = Live()) {
        for (const std::string& label : player->SubtitleTracks()) {
            tracks.append(QString::fromStdString(label));
        }
    }
    return tracks;
}

int PlayerController::SubtitleTrack() const {
    const engine::Player* player = Live();
    return player != nullptr ? player->SubtitleTrack() : -1;
}

void PlayerController::SetSubtitleTrack(int track) {
    if (engine::Player* player = Live()) {
        player->SetSubtitleTrack(track);
        if (track >= 0) {
            lastSubtitleTrack_ = track;
        }
    }
}

void PlayerController::ToggleSubtitles() {
    const int shown = SubtitleTrack();
    if (shown >= 0) {
        lastSubtitleTrack_ = shown;
        SetSubtitleTrack(-1);
    } else if (lastSubtitleTrack_ < SubtitleTracks().size()) {
        SetSubtitleTrack(lastSubtitleTrack_);
    }
}

void PlayerController::SizeSyncTick(double areaWidthPx, double areaHeightPx) {
    engine::Player* player = Live();
    if (player == nullptr) {
        return;
    }
    // Compared after rounding, so a fractional size does not apply itself again every tick.
    const auto width = RoundHalfEvenToInt32(areaWidthPx);
    const auto height = RoundHalfEvenToInt32(areaHeightPx);
    if (width && *width != player->DisplayWidth()) {
        player->SetDisplayWidth(*width);
        player->ApplyDisplaySize();
    } else if (height && *height != player->DisplayHeight()) {
        player->SetDisplayHeight(*height);
        player->ApplyDisplaySize();
    } else if (player->DisplayWidth() != player->OutputWidth()) {
        player->SetOutputWidth(player->DisplayWidth());
        player->ApplyDisplaySize();
    } else if (player->DisplayHeight() != player->OutputHeight()) {
        player->SetOutputHeight(player->DisplayHeight());
        player->ApplyDisplaySize();
    }
}

void PlayerController::Close() {
    if (closed_) {
        return;
    }
    closed_ = true;
    if (player_ != nullptr) {
        player_->CloseMedia(false);
    }
}

void PlayerController::SetTimeText(const QString& text) {
    if (text != timeText_) {
        timeText_ = text;
        emit timeTextChanged(timeText_);
    }
}

void PlayerController::SetPauseCaption(const QString& caption) {
    if (caption != pauseCaption_) {
        pauseCaption_ = caption;
        emit pauseButtonCaptionChanged(pauseCaption_);
    }
}

void PlayerController::SetMuteIcon(bool muted) {
    if (muted != muteIconShown_) {
        muteIconShown_ = muted;
        emit muteIconChanged(muteIconShown_);
    }
}

}  // namespace ostrel
