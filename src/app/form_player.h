// The preview window: plays the file list's current row into a video area above a control bar
// with the play/pause button, the seek slider, the mute toggle, the volume slider and the time
// text. The logic is PlayerController's; this window builds the widgets, lays them out and
// wires them to it.
#pragma once

#include <QDialog>
#include <QString>
#include <memory>

#include "app/main_window.h"
#include "player/player_controller.h"
#include "player/player_layout.h"

class QLabel;
class QPushButton;
class QTimer;

namespace ostrel {

namespace engine {
class Player;
}  // namespace engine

class FileListModel;
class NaSlider;
class Shell;
class VideoArea;

// The mute toggle: a borderless picture that answers a click.
class MuteToggle : public QWidget {
    Q_OBJECT

  public:
    explicit MuteToggle(QWidget* parent = nullptr);
    void SetMuted(bool muted);
    bool ShowsMuted() const { return muted_; }
    // The picture shown; null until the window's load sets it.
    const QPixmap& Picture() const { return picture_; }

  signals:
    void clicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QPixmap picture_;
    bool muted_ = false;
};

class FormPlayer : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kSizeSyncIntervalMs = 1000;

    // The window reads the list's current row itself when it loads.
    FormPlayer(Shell& shell, const EngineBinding& engine, const QString& appFolder,
               const FileListModel& list, QWidget* parent = nullptr);
    ~FormPlayer() override;

    // The load steps: caption, duration text, the engine (false when it cannot be had: the
    // user has been told and the program ends), opening the media, the icons, the sliders and
    // the window icon.
    bool Load();

    PlayerController& Controller() { return *controller_; }
    engine::Player* Player() const { return player_.get(); }
    VideoArea* Video() const { return video_; }
    QWidget* Bar() const { return bar_; }
    QPushButton* PauseButton() const { return pauseButton_; }
    QLabel* TimeLabel() const { return timeLabel_; }
    MuteToggle* Mute() const { return mute_; }
    NaSlider* SeekSlider() const { return seek_; }
    NaSlider* VolumeSlider() const { return volume_; }
    QTimer* SizeSyncTimer() const { return sizeSync_; }
    const PlayerLayout& Layout() const { return layout_; }
    // The button's caption code: ";" while playing, "4" while paused.
    QString PauseButtonCaption() const { return controller_->PauseButtonCaption(); }

    void done(int result) override;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildControls();
    void WireControls();
    bool BindPlayer();
    void ApplyLayout();
    void ShowPauseCaption(const QString& caption);
    void ShowMuteIcon(bool muted);
    void SetBusyPointer(bool busy);
    void LeaveTopmost();
    void ToggleFullScreen();
    // The video area's context menu: the subtitle track to show, or none.
    void ShowSubtitleMenu(const QPoint& globalPos);
    void CloseMedia();
    // The window's own keys; false for keys it leaves to others.
    bool HandleKey(const QKeyEvent& event);

    Shell& shell_;
    EngineBinding engine_;
    QString appFolder_;
    const FileListModel& list_;

    VideoArea* video_ = nullptr;
    QWidget* bar_ = nullptr;
    QPushButton* pauseButton_ = nullptr;
    QLabel* timeLabel_ = nullptr;
    MuteToggle* mute_ = nullptr;
    NaSlider* seek_ = nullptr;
    NaSlider* volume_ = nullptr;
    QTimer* sizeSync_ = nullptr;
    PlayerLayout layout_;
    int busyDepth_ = 0;
    bool centred_ = false;

    // The controller uses the player, and the player's events use the controller: the player
    // goes first.
    std::unique_ptr<PlayerController> controller_;
    std::unique_ptr<engine::Player> player_;
};

}  // namespace ostrel
