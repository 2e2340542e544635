// The player window's logic: it turns the player's microsecond times into the two sliders'
// integer scales and the time text, handles the slider releases, the pause button, the mute
// toggle and the size sync, and closes the media. The window wires its widgets to it; tests
// drive it with slider models and a fake player, without a display.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "player/drag_seek.h"
#include "widgets/slider/slider_model.h"

class QTimer;

namespace ostrel {

namespace engine {
class Player;
}  // namespace engine

// The pause button's caption codes: the pause bars while playing, the play triangle while
// paused. The window shows them as icons.
inline const QString kPauseCaption = QStringLiteral(";");
inline const QString kPlayCaption = QStringLiteral("4");

// Waits ms milliseconds of a monotonic clock while the UI's events run, so that position,
// state and timer events are handled during the wait. Returns after at least ms.
void WaitMilliseconds(int ms);

class PlayerController : public QObject {
    Q_OBJECT

  public:
    static constexpr int kVolumeMax = 128;
    static constexpr int kSeekSettleWaitMs = 50;
    static constexpr int kKeySeekSeconds = 5;
    static constexpr int kKeyLongSeekSeconds = 60;
    // The focused volume slider's key steps: Up/Right and Down/Left by a sixteenth, Page Up
    // and Page Down by a quarter of the range.
    static constexpr int kVolumeKeyStep = 8;
    static constexpr int kVolumePageStep = 32;

    using Wait = std::function<void(int ms)>;

    // The sliders outlive the controller. The wait defaults to WaitMilliseconds.
    PlayerController(SliderModel& seek, SliderModel& volume, Wait wait = {},
                     QObject* parent = nullptr);

    // The player whose media the window shows; null (no engine, nothing open) makes every
    // player step a no-op. The player outlives the controller's use of it, or is set to null.
    void SetPlayer(engine::Player* player) { player_ = player; }
    engine::Player* Player() const { return player_; }

    // The list row's duration text, shown after the slash.
    void SetDurationText(const QString& text);
    const QString& DurationText() const { return durationText_; }
    std::int64_t MediaDuration() const { return mediaDurationUs_; }

    const QString& TimeText() const { return timeText_; }
    const QString& PauseButtonCaption() const { return pauseCaption_; }
    bool MuteIconShown() const { return muteIconShown_; }
    bool Closed() const { return closed_; }

    // The sliders' settings of the loaded window: no page or arrow steps on either, the volume
    // at 128 of 128 with its fill up to there.
    void ApplySliderSettings();

    // Player events. The end of playback rewinds, pauses and shows the start again.
    void HandleDurationKnown(std::int64_t durationUs);
    void HandlePositionChanged(std::int64_t positionUs);
    void HandleStateChanged(int state);

    // User input. Pointer x is in twips from the slider's left edge; the width is the slider's
    // on the window in pixels.
    void PauseButtonClicked();
    // While the primary button holds the seek thumb, position events leave the thumb where the
    // pointer put it (the time text still follows them), and the picture follows the drag
    // with fast key-frame seeks; the release seeks exactly.
    void SeekMouseDown(int button);
    void SeekMouseMove(int button);
    void SeekMouseUp(int button, float xTwips, int sliderWidthPx);
    bool SeekThumbHeld() const { return thumbHeld_; }
    void SeekClicked();
    void VolumeMouseUp(int button, float xTwips, int sliderWidthPx);
    void VolumeClicked();
    // A key on the focused volume slider (its virtual-key code): the stepping keys move the
    // volume within 0..kVolumeMax and pass the level on, as a release does; others do nothing.
    void VolumeKeyDown(int keyCode);
    void MuteClicked();
    // Keyboard: seconds back (negative) or forward through the same path as a seek release,
    // nothing while the length is unknown.
    void SeekBy(int seconds);
    // One picture back (negative) or forward; playing media is paused first.
    void StepFrames(int frames);

    // The subtitle tracks to choose from, the one shown (-1: none), and the choice.
    QStringList SubtitleTracks() const;
    int SubtitleTrack() const;
    void SetSubtitleTrack(int track);
    // Hides the subtitles, or shows the last track shown (the first at the start) again.
    void ToggleSubtitles();

    // One tick of the size sync: at most one of the four display and output sizes changes.
    // The size is the video area's in device pixels.
    void SizeSyncTick(double areaWidthPx, double areaHeightPx);

    // Closes the media once; later player steps do nothing.
    void Close();

  signals:
    void timeTextChanged(const QString& text);
    void pauseButtonCaptionChanged(const QString& caption);
    void muteIconChanged(bool muted);
    // The hourglass pointer on (true) and off again.
    void busyPointer(bool busy);
    // State 4: the window leaves the topmost band, then repaints the video area at once if
    // the player has one.
    void leaveTopmostRequested();
    void videoRepaintRequested();

  private:
    // A release's value: x × Max ÷ (width × 15), assigned when it lies within 0..Max.
    static void AssignFromRelease(SliderModel& slider, float xTwips, int sliderWidthPx);
    // Seeks to the seek slider's value; paused or stopped media is nudged so it shows the frame.
    void SeekToSliderValue();
    // MediaDuration × Value ÷ Max in microseconds.
    std::int64_t SliderTargetUs() const;
    void DragSeek(std::int64_t targetUs);
    void DragSeekDue();
    std::int64_t NowMs() const;
    void SetTimeText(const QString& text);
    void SetPauseCaption(const QString& caption);
    void SetMuteIcon(bool muted);
    // The player, or null once the media is closed.
    engine::Player* Live() const { return closed_ ? nullptr : player_; }

    SliderModel& seek_;
    SliderModel& volume_;
    Wait wait_;
    engine::Player* player_ = nullptr;
    std::int64_t mediaDurationUs_ = 0;
    QString durationText_;
    QString timeText_;
    QString pauseCaption_ = kPauseCaption;
    bool muteIconShown_ = false;
    bool closed_ = false;
    bool thumbHeld_ = false;
    DragSeekThrottle dragThrottle_;
    QTimer* dragTimer_ = nullptr;
    int lastSubtitleTrack_ = 0;
};

}  // namespace ostrel
