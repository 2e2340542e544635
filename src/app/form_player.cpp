#include "app/form_player.h"

#include <QAccessibleWidget>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "app/app_shell.h"
#include "app/icons.h"
#include "app/player_icons.h"
#include "app/ui_poster.h"
#include "app/video_area.h"
#include "common/rounding.h"
#include "engine/engine.h"
#include "filelist/file_list_model.h"
#include "widgets/slider/na_slider.h"

namespace ostrel {
namespace {

// The design text of the time label, which its font must fit.
const QString kTimeDesignText = QStringLiteral("00:00:00/00:00:00");
constexpr std::uint32_t kSeekBackColor = 0xF0F0F0;
constexpr std::uint32_t kVolumeBackColor = 0xF2DED5;
const QColor kBarColor(0xF0, 0xF0, 0xF0);
const QColor kBarTextColor(0x20, 0x20, 0x20);
const char* const kNoPlaybackText =
    QT_TRANSLATE_NOOP("ostrel::FormPlayer", "The file cannot be played.");

// Tahoma 9 pt where it is installed, otherwise the system's font.
QFont WindowFont() {
    if (QFontDatabase::hasFamily(QStringLiteral("Tahoma"))) {
        return QFont(QStringLiteral("Tahoma"), 9);
    }
    return QApplication::font();
}

// The font, made smaller where needed so the longest usual time text fits the label.
QFont FittingFont(QFont font, const QString& text, int width) {
    while (font.pointSizeF() > 6.0 && QFontMetrics(font).horizontalAdvance(text) > width) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
    }
    return font;
}

QRect TwipsRect(int leftTwips, int topTwips, int widthTwips, int heightTwips) {
    return QRect(TwipsToPixels(leftTwips), TwipsToPixels(topTwips), TwipsToPixels(widthTwips),
                 TwipsToPixels(heightTwips));
}

QString RowText(const FileListModel& list, int column) {
    const int row = list.CurrentRow();
    if (row < 0 || row >= list.rowCount()) {
        return {};
    }
    return list.data(list.index(row, column), Qt::DisplayRole).toString();
}

// The mute toggle reads as a button that can be pressed, not as an empty frame.
class MuteAccessible : public QAccessibleWidget {
  public:
    explicit MuteAccessible(MuteToggle* toggle) : QAccessibleWidget(toggle, QAccessible::Button) {}

    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& name) override {
        if (name == pressAction()) {
            emit static_cast<MuteToggle*>(widget())->clicked();
            return;
        }
        QAccessibleWidget::doAction(name);
    }
};

QAccessibleInterface* MuteFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("ostrel::MuteToggle") && object != nullptr &&
        object->isWidgetType()) {
        return new MuteAccessible(static_cast<MuteToggle*>(object));
    }
    return nullptr;
}

}  // namespace

MuteToggle::MuteToggle(QWidget* parent) : QWidget(parent) {
    static const bool installed = [] {
        QAccessible::installFactory(MuteFactory);
        return true;
    }();
    Q_UNUSED(installed);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(tr("Mute"));
}

void MuteToggle::SetMuted(bool muted) {
    muted_ = muted;
    setToolTip(muted ? tr("Sound off (M)") : tr("Sound on (M)"));
    setAccessibleName(muted ? tr("Unmute") : tr("Mute"));
    picture_ = SpeakerPixmap(muted, devicePixelRatioF());
    update();
}

void MuteToggle::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, picture_);
}

void MuteToggle::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked();
    }
}

FormPlayer::FormPlayer(Shell& shell, const EngineBinding& engine, const QString& appFolder,
                       const FileListModel& list, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      shell_(shell),
      engine_(engine),
      appFolder_(appFolder),
      list_(list) {
    setFont(WindowFont());
    setSizeGripEnabled(false);
    BuildControls();
    WireControls();
    setMinimumSize(PlayerDesign::kMinClientWidthPx, PlayerDesign::kMinClientHeightPx);
    resize(PlayerDesign::kClientWidthPx, PlayerDesign::kClientHeightPx);
    ApplyLayout();
}

FormPlayer::~FormPlayer() {
    CloseMedia();
    while (busyDepth_ > 0) {
        SetBusyPointer(false);
    }
    player_.reset();
}

void FormPlayer::BuildControls() {
    video_ = new VideoArea(this);

    bar_ = new QWidget(this);
    bar_->setAutoFillBackground(true);
    QPalette barPalette = bar_->palette();
    barPalette.setColor(QPalette::Window, kBarColor);
    barPalette.setColor(QPalette::WindowText, kBarTextColor);
    bar_->setPalette(barPalette);

    using D = PlayerDesign;
    pauseButton_ = new QPushButton(bar_);
    pauseButton_->setGeometry(TwipsRect(D::kButtonLeftTwips, D::kButtonTopTwips,
                                        D::kButtonWidthTwips, D::kButtonHeightTwips));
    pauseButton_->setAutoDefault(false);
    pauseButton_->setIconSize(QSize(16, 16));

    timeLabel_ = new QLabel(bar_);
    timeLabel_->setFont(FittingFont(font(), kTimeDesignText, TwipsToPixels(D::kLabelWidthTwips)));
    timeLabel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    timeLabel_->setText(kTimeDesignText);

    mute_ = new MuteToggle(bar_);
    mute_->resize(TwipsToPixels(D::kMuteWidthTwips), TwipsToPixels(D::kMuteHeightTwips));

    // The sliders lie on the window, over the bar.
    seek_ = new NaSlider(SliderSkin::SeekSkin, this);
    seek_->SetShowTicks(false);
    seek_->SetBackColor(kSeekBackColor);
    seek_->SetSmallChange(0);
    seek_->SetLargeChange(0);
    seek_->setAccessibleName(tr("Seek"));
    volume_ = new NaSlider(SliderSkin::VolumeSkin, this);
    volume_->SetShowTicks(false);
    volume_->SetBackColor(kVolumeBackColor);
    volume_->setAccessibleName(tr("Volume"));
    volume_->setToolTip(tr("Volume"));

    controller_ = std::make_unique<PlayerController>(seek_->Model(), volume_->Model());
    ShowPauseCaption(controller_->PauseButtonCaption());
    timeLabel_->setText(controller_->TimeText());

    sizeSync_ = new QTimer(this);
    sizeSync_->setInterval(kSizeSyncIntervalMs);
    sizeSync_->start();

    // The sliders take the focus by Tab only: after a click on them the arrow keys still seek
    // through the window.
    seek_->setFocusPolicy(Qt::TabFocus);
    volume_->setFocusPolicy(Qt::TabFocus);
    pauseButton_->installEventFilter(this);
    setTabOrder(pauseButton_, seek_);
    setTabOrder(seek_, volume_);
    pauseButton_->setFocus(Qt::OtherFocusReason);
}

void FormPlayer::WireControls() {
    PlayerController* controller = controller_.get();
    connect(pauseButton_, &QPushButton::clicked, controller, &PlayerController::PauseButtonClicked);
    connect(mute_, &MuteToggle::clicked, controller, &PlayerController::MuteClicked);
    connect(seek_, &NaSlider::MouseDown, controller,
            [this](int button, int, float, float) { controller_->SeekMouseDown(button); });
    connect(seek_, &NaSlider::MouseMove, controller,
            [this](int button, int, float, float) { controller_->SeekMouseMove(button); });
    connect(seek_, &NaSlider::MouseUp, controller, [this](int button, int, float x, float) {
        controller_->SeekMouseUp(button, x, seek_->width());
    });
    connect(seek_, &NaSlider::Click, controller, &PlayerController::SeekClicked);
    connect(volume_, &NaSlider::MouseUp, controller, [this](int button, int, float x, float) {
        controller_->VolumeMouseUp(button, x, volume_->width());
    });
    connect(volume_, &NaSlider::Click, controller, &PlayerController::VolumeClicked);
    connect(volume_, &NaSlider::KeyDown, controller,
            [this](int keyCode, int) { controller_->VolumeKeyDown(keyCode); });

    connect(controller, &PlayerController::timeTextChanged, timeLabel_, &QLabel::setText);
    connect(controller, &PlayerController::pauseButtonCaptionChanged, this,
            &FormPlayer::ShowPauseCaption);
    connect(controller, &PlayerController::muteIconChanged, this, &FormPlayer::ShowMuteIcon);
    connect(controller, &PlayerController::busyPointer, this, &FormPlayer::SetBusyPointer);
    connect(controller, &PlayerController::leaveTopmostRequested, this, &FormPlayer::LeaveTopmost);
    connect(controller, &PlayerController::videoRepaintRequested, video_,
            [this] { video_->repaint(); });

    connect(sizeSync_, &QTimer::timeout, controller, [this] {
        const qreal ratio = video_->devicePixelRatioF();
        controller_->SizeSyncTick(video_->width() * ratio, video_->height() * ratio);
    });
    connect(video_, &VideoArea::doubleClicked, this, &FormPlayer::ToggleFullScreen);
    video_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(video_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { ShowSubtitleMenu(video_->mapToGlobal(at)); });
}

bool FormPlayer::Load() {
    setWindowTitle(RowText(list_, FileListModel::ColumnFileName));
    controller_->SetDurationText(RowText(list_, FileListModel::ColumnDuration));

    if (!BindPlayer()) {
        shell_.Inform(this, MessageIcon::Error,
                      QCoreApplication::translate("ostrel::MainWindow", kEngineMissingSource));
        shell_.EndProcess();
        return false;
    }
    const QString path = RowText(list_, FileListModel::ColumnFileName);
    if (!player_->OpenMedia(path.toStdString(), video_, false)) {
        const QString error = QString::fromStdString(player_->LastError());
        shell_.Inform(this, MessageIcon::None, error.isEmpty() ? tr(kNoPlaybackText) : error);
    }

    ShowMuteIcon(false);
    controller_->ApplySliderSettings();
    setWindowIcon(AppIcon());
    return true;
}

bool FormPlayer::BindPlayer() {
    const auto answers = [](const std::function<bool()>& ask) {
        try {
            return ask && ask();
        } catch (...) {
            return false;
        }
    };
    const bool loaded =
        answers(engine_.IsLoaded) || answers([this] {
            return engine_.Load &&
                   engine_.Load(appFolder_ + QString::fromLatin1(engine::kEngineFolderName));
        });
    if (loaded && engine_.CreatePlayer) {
        player_ = engine_.CreatePlayer();
    }
    if (player_ == nullptr) {
        return false;
    }
    engine::PlayerEvents events;
    events.DurationKnown = [this](std::int64_t durationUs, int, int, int, int) {
        controller_->HandleDurationKnown(durationUs);
    };
    events.PositionChanged = [this](std::int64_t positionUs) {
        controller_->HandlePositionChanged(positionUs);
    };
    events.StateChanged = [this](int state) { controller_->HandleStateChanged(state); };
    player_->SetEventPoster(UiThreadPoster());
    player_->SetEvents(std::move(events));
    controller_->SetPlayer(player_.get());
    return true;
}

void FormPlayer::ApplyLayout() {
    layout_ = LayOutPlayer(width(), height(), layout_);
    using D = PlayerDesign;
    video_->setGeometry(layout_.VideoArea);
    bar_->setGeometry(0, layout_.BarTopPx, layout_.BarWidthPx, D::kBarHeightPx);
    timeLabel_->setGeometry(TwipsRect(layout_.LabelLeftTwips, D::kLabelTopTwips,
                                      D::kLabelWidthTwips, D::kLabelHeightTwips));
    volume_->setGeometry(layout_.VolumeLeftPx, layout_.VolumeTopPx, D::kVolumeWidthPx,
                         D::kVolumeHeightPx);
    mute_->move(TwipsToPixels(layout_.MuteLeftTwips), TwipsToPixels(D::kMuteTopTwips));
    seek_->setGeometry(layout_.SeekLeftPx, layout_.SeekTopPx, layout_.SeekWidthPx,
                       D::kSeekHeightPx);
    if (layout_.StepsDone == 9) {
        seek_->Refresh();
    }
}

void FormPlayer::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    ApplyLayout();
}

void FormPlayer::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!centred_) {
        centred_ = true;
        if (const QScreen* screen = this->screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
}

void FormPlayer::closeEvent(QCloseEvent* event) {
    // Closing is never refused; the media closes whatever closes the window.
    CloseMedia();
    event->accept();
    QDialog::closeEvent(event);
}

void FormPlayer::done(int result) {
    CloseMedia();
    QDialog::done(result);
}

void FormPlayer::keyPressEvent(QKeyEvent* event) {
    if (HandleKey(*event)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool FormPlayer::eventFilter(QObject* watched, QEvent* event) {
    // A push button moves the focus on arrow keys; on the pause button they seek instead.
    if (watched == pauseButton_ && event->type() == QEvent::KeyPress) {
        const auto& key = static_cast<const QKeyEvent&>(*event);
        if ((key.key() == Qt::Key_Left || key.key() == Qt::Key_Right || key.key() == Qt::Key_Up ||
             key.key() == Qt::Key_Down) &&
            HandleKey(key)) {
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool FormPlayer::HandleKey(const QKeyEvent& event) {
    if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        return false;
    }
    switch (event.key()) {
        case Qt::Key_Space:
            controller_->PauseButtonClicked();
            return true;
        case Qt::Key_M:
            controller_->MuteClicked();
            return true;
        case Qt::Key_Left:
            controller_->SeekBy(-PlayerController::kKeySeekSeconds);
            return true;
        case Qt::Key_Right:
            controller_->SeekBy(PlayerController::kKeySeekSeconds);
            return true;
        case Qt::Key_Up:
            controller_->SeekBy(PlayerController::kKeyLongSeekSeconds);
            return true;
        case Qt::Key_Down:
            controller_->SeekBy(-PlayerController::kKeyLongSeekSeconds);
            return true;
        case Qt::Key_Comma:
            controller_->StepFrames(-1);
            return true;
        case Qt::Key_Period:
            controller_->StepFrames(1);
            return true;
        case Qt::Key_V:
            controller_->ToggleSubtitles();
            return true;
        case Qt::Key_Escape:
            if (isFullScreen()) {
                ToggleFullScreen();
                return true;
            }
            return false;
        default:
            return false;
    }
}

void FormPlayer::ShowSubtitleMenu(const QPoint& globalPos) {
    QMenu menu(this);
    const QStringList tracks = controller_->SubtitleTracks();
    const int shown = controller_->SubtitleTrack();
    QMenu* subtitles = menu.addMenu(tr("Subtitles"));
    subtitles->setEnabled(!tracks.isEmpty());
    auto* group = new QActionGroup(subtitles);
    const auto add = [&](const QString& text, int track) {
        QAction* action = subtitles->addAction(text);
        action->setCheckable(true);
        action->setChecked(track == shown);
        group->addAction(action);
        connect(action, &QAction::triggered, this,
                [this, track] { controller_->SetSubtitleTrack(track); });
    };
    add(tr("None"), -1);
    for (int i = 0; i < tracks.size(); ++i) {
        add(tracks[i], i);
    }
    menu.exec(globalPos);
}

void FormPlayer::ShowPauseCaption(const QString& caption) {
    const bool paused = caption == kPlayCaption;
    pauseButton_->setIcon(paused ? PlayIcon() : PauseIcon());
    pauseButton_->setToolTip(paused ? tr("Play (Space)") : tr("Pause (Space)"));
    pauseButton_->setAccessibleName(paused ? tr("Play") : tr("Pause"));
}

void FormPlayer::ShowMuteIcon(bool muted) {
    mute_->SetMuted(muted);
}

void FormPlayer::SetBusyPointer(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++busyDepth_;
    } else if (busyDepth_ > 0) {
        QApplication::restoreOverrideCursor();
        --busyDepth_;
    }
}

void FormPlayer::LeaveTopmost() {
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint)) {
        const bool shown = isVisible();
        setWindowFlag(Qt::WindowStaysOnTopHint, false);
        if (shown) {
            show();
        }
    }
}

void FormPlayer::ToggleFullScreen() {
    if (isFullScreen()) {
        showNormal();
    } else {
        showFullScreen();
    }
}

void FormPlayer::CloseMedia() {
    if (controller_ != nullptr) {
        controller_->Close();
    }
}

}  // namespace ostrel
