// The player window on a fake player that raises its events through the UI thread's poster:
// the load steps and their texts, the engine and open failures, the button, the mute toggle,
// the sliders under real mouse and key events, the size sync and closing.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

#include "app/app_shell.h"
#include "app/form_player.h"
#include "app/video_area.h"
#include "fake_engine.h"
#include "file_rows.h"
#include "filelist/file_list_model.h"
#include "pseudo_translation.h"
#include "widgets/slider/na_slider.h"

using namespace ostrel;
using ostrel::testing::FakeEngine;
using ostrel::testing::FakePlayer;
using Log = std::vector<std::string>;

namespace {

constexpr std::int64_t kSecond = 1'000'000;
const QString kClipPath = QStringLiteral("/media/clip one.mp4");

class RecordingShell : public Shell {
  public:
    struct Message {
        MessageIcon Icon;
        QString Text;
    };
    QList<Message> messages;
    int endCount = 0;

    void Inform(QWidget*, MessageIcon icon, const QString& text) override {
        messages.append({icon, text});
    }
    bool AskYesNo(QWidget*, const QString&) override { return false; }
    QStringList ChooseFiles(QWidget*, const QString&, const QStringList&) override { return {}; }
    void OpenUrl(const QUrl&) override {}
    void RunModal(QDialog& dialog) override { dialog.show(); }
    void EndProcess() override { ++endCount; }
};

// A frame of one colour.
std::shared_ptr<const engine::VideoFrame> Frame(int width, int height, QRgb color) {
    auto frame = std::make_shared<engine::VideoFrame>();
    frame->width = width;
    frame->height = height;
    frame->stride = width * 4;
    frame->pixels.resize(static_cast<std::size_t>(frame->stride) * height);
    for (std::size_t at = 0; at < frame->pixels.size(); at += 4) {
        frame->pixels[at] = static_cast<std::uint8_t>(qBlue(color));
        frame->pixels[at + 1] = static_cast<std::uint8_t>(qGreen(color));
        frame->pixels[at + 2] = static_cast<std::uint8_t>(qRed(color));
        frame->pixels[at + 3] = 255;
    }
    return frame;
}

// The player's calls whose text starts with prefix.
Log Calls(const FakePlayer& player, const std::string& prefix) {
    Log found;
    for (const std::string& call : player.log) {
        if (call.rfind(prefix, 0) == 0) {
            found.push_back(call);
        }
    }
    return found;
}

}  // namespace

class PlayerWindowTest : public QObject {
    Q_OBJECT

  private:
    RecordingShell shell_;
    FakeEngine engine_;
    FileListModel list_;
    std::unique_ptr<FormPlayer> form_;

    // A loaded window on the fake player, shown.
    FormPlayer& Loaded(bool show = true) {
        form_ = std::make_unique<FormPlayer>(shell_, engine_.Binding(), QStringLiteral("/opt/app/"),
                                             list_);
        if (!form_->Load()) {
            qFatal("the window did not load");
        }
        if (show) {
            form_->show();
            if (!QTest::qWaitForWindowExposed(form_.get())) {
                qFatal("the window did not show");
            }
        }
        return *form_;
    }

    static void RunPosted() { QCoreApplication::processEvents(); }

  private slots:
    void init() {
        shell_ = RecordingShell();
        engine_ = FakeEngine();
        list_.ClearAll();
        FileRow row = ostrel::testing::VideoFileRow(kClipPath);
        row.DurationSeconds = 90.5;
        list_.Append(FileRow{});
        list_.Append(row);
        list_.SetCurrentRow(1);
    }

    void cleanup() { form_.reset(); }

    // The player's only words are its controls' tips and names; the time fits its label.
    void pseudoTranslationFits() {
        ostrel::testing::Lengthening lengthening;
        QCoreApplication::installTranslator(&lengthening);
        FormPlayer& form = Loaded();
        ostrel::testing::PseudoFaults pseudo;
        for (const QWidget* control : std::initializer_list<const QWidget*>{
                 form.PauseButton(), form.Mute(), form.SeekSlider(), form.VolumeSlider()}) {
            pseudo.Check(control->accessibleName(), QWIDGETSIZE_MAX, control->fontMetrics());
        }
        for (const QWidget* control : std::initializer_list<const QWidget*>{
                 form.PauseButton(), form.Mute(), form.VolumeSlider()}) {
            pseudo.Check(control->toolTip(), QWIDGETSIZE_MAX, control->fontMetrics());
        }
        const QLabel* time = form.TimeLabel();
        QVERIFY(time->fontMetrics().horizontalAdvance(time->text()) <=
                time->contentsRect().width());
        ostrel::testing::KeepShot(form, QStringLiteral("player_pseudo"));
        QCoreApplication::removeTranslator(&lengthening);
        QVERIFY2(pseudo.faults.isEmpty(), qPrintable(pseudo.faults.join(u'\n')));
    }

    void loadsInOrder() {
        // At the time of the open the caption and the time text are there, the icons and the
        // slider settings not yet.
        QString captionAtOpen;
        QString timeAtOpen;
        bool mutePictureAtOpen = true;
        std::int32_t volumeMaxAtOpen = 0;
        engine_.onPlayerMade = [&](FakePlayer& player) {
            player.onOpen = [&] {
                captionAtOpen = form_->windowTitle();
                timeAtOpen = form_->TimeLabel()->text();
                mutePictureAtOpen = !form_->Mute()->Picture().isNull();
                volumeMaxAtOpen = form_->VolumeSlider()->Max();
            };
        };
        form_ = std::make_unique<FormPlayer>(shell_, engine_.Binding(), QStringLiteral("/opt/app/"),
                                             list_);
        QVERIFY(form_->windowIcon().isNull());
        QVERIFY(form_->Load());
        FormPlayer& form = *form_;
        QCOMPARE(captionAtOpen, kClipPath);
        QCOMPARE(timeAtOpen, QStringLiteral("00:00:00/00:01:30"));
        QVERIFY(!mutePictureAtOpen);
        QCOMPARE(volumeMaxAtOpen, 1000);

        QCOMPARE(engine_.player->log, Log({"OpenMedia /media/clip one.mp4"}));
        QCOMPARE(engine_.player->surface, form.Video());
        QVERIFY(shell_.messages.isEmpty());
        QCOMPARE(form.windowTitle(), kClipPath);
        QCOMPARE(form.TimeLabel()->text(), QStringLiteral("00:00:00/00:01:30"));
        QVERIFY(!form.Mute()->Picture().isNull());
        QVERIFY(!form.Mute()->ShowsMuted());
        QCOMPARE(form.VolumeSlider()->Max(), 128);
        QCOMPARE(form.VolumeSlider()->Value(), 128);
        QCOMPARE(form.VolumeSlider()->SelLength(), 128);
        QCOMPARE(form.SeekSlider()->Max(), 1000);
        QCOMPARE(form.SeekSlider()->SmallChange(), 0);
        QCOMPARE(form.SeekSlider()->LargeChange(), 0);
        QVERIFY(!form.SeekSlider()->ShowTicks());
        QCOMPARE(form.SeekSlider()->BackColor(), 0xF0F0F0U);
        QCOMPARE(form.VolumeSlider()->BackColor(), 0xF2DED5U);
        QVERIFY(!form.windowIcon().isNull());
        QCOMPARE(form.PauseButtonCaption(), QStringLiteral(";"));
        QVERIFY(form.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(form.SizeSyncTimer()->interval(), 1000);
        QVERIFY(form.SizeSyncTimer()->isActive());

        // The design size and its layout.
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.size(), QSize(516, 347));
        QCOMPARE(form.Video()->geometry(), QRect(0, 0, 516, 315));
        QCOMPARE(form.Bar()->geometry(), QRect(0, 315, 516, 32));
        QCOMPARE(form.PauseButton()->geometry(), QRect(12, 4, 29, 25));
        QCOMPARE(form.TimeLabel()->geometry(), QRect(401, 9, 105, 14));
        QCOMPARE(form.Mute()->geometry(), QRect(294, 9, 20, 15));
        QCOMPARE(form.VolumeSlider()->geometry(), QRect(319, 324, 72, 13));
        QCOMPARE(form.SeekSlider()->geometry(), QRect(51, 326, 233, 12));
        // The longest usual time text fits its label.
        QVERIFY(form.TimeLabel()->fontMetrics().horizontalAdvance(
                    QStringLiteral("00:00:00/00:00:00")) <= 105);
    }

    void layoutFollowsResizes() {
        FormPlayer& form = Loaded();
        form.resize(800, 600);
        QTRY_COMPARE(form.Video()->geometry(), QRect(0, 0, 800, 568));
        QCOMPARE(form.SeekSlider()->geometry(), QRect(51, 579, 517, 12));
        QCOMPARE(form.VolumeSlider()->geometry(), QRect(603, 577, 72, 13));
        QCOMPARE(form.TimeLabel()->x(), 685);
        // The minimum size still leaves a usable seek slider.
        QCOMPARE(form.minimumSize(), QSize(323, 96));
        form.resize(100, 50);
        QTRY_COMPARE(form.size(), QSize(323, 96));
        QCOMPARE(form.SeekSlider()->width(), 40);
    }

    void engineMissing() {
        const struct {
            bool loads;
            bool plays;
        } cases[] = {{false, true}, {true, false}};
        for (const auto& c : cases) {
            init();
            engine_.loads = c.loads;
            engine_.plays = c.plays;
            FormPlayer form(shell_, engine_.Binding(), QStringLiteral("/opt/app/"), list_);
            QVERIFY(!form.Load());
            QCOMPARE(shell_.messages.size(), 1);
            QCOMPARE(shell_.messages[0].Icon, MessageIcon::Error);
            QCOMPARE(shell_.messages[0].Text, QStringLiteral("Video lib not found"));
            QCOMPARE(shell_.endCount, 1);
            QVERIFY(form.Player() == nullptr);
        }
    }

    void failedOpenLeavesAHarmlessWindow() {
        engine_.onPlayerMade = [](FakePlayer& player) {
            player.opens = false;
            player.error = "No such file or directory";
        };
        FormPlayer& form = Loaded();
        QCOMPARE(shell_.messages.size(), 1);
        QCOMPARE(shell_.messages[0].Icon, MessageIcon::None);
        QCOMPARE(shell_.messages[0].Text, QStringLiteral("No such file or directory"));
        QCOMPARE(shell_.endCount, 0);
        QVERIFY(form.isVisible());
        // The controls still react.
        QTest::mouseClick(form.Mute(), Qt::LeftButton);
        QVERIFY(form.Mute()->ShowsMuted());
        QTest::mouseClick(form.PauseButton(), Qt::LeftButton);
        QCOMPARE(form.PauseButtonCaption(), QStringLiteral(";"));
        QCOMPARE(form.VolumeSlider()->Max(), 128);
    }

    void buttonCaptionsAndTheEndOfPlayback() {
        FormPlayer& form = Loaded();
        FakePlayer& player = *engine_.player;
        const QImage pauseIcon = form.PauseButton()->icon().pixmap(16).toImage();
        QTest::mouseClick(form.PauseButton(), Qt::LeftButton);
        QCOMPARE(form.PauseButtonCaption(), QStringLiteral("4"));
        QVERIFY(player.IsPaused());
        QVERIFY(form.PauseButton()->icon().pixmap(16).toImage() != pauseIcon);
        QTest::mouseClick(form.PauseButton(), Qt::LeftButton);
        QCOMPARE(form.PauseButtonCaption(), QStringLiteral(";"));
        QCOMPARE(form.PauseButton()->icon().pixmap(16).toImage(), pauseIcon);

        // Events arrive through the poster, behind what the window is doing.
        player.PostDuration(90'500'000);
        player.PostPosition(45'500'000);
        QCOMPARE(form.SeekSlider()->Max(), 1000);
        RunPosted();
        QCOMPARE(form.SeekSlider()->Max(), 900);
        QCOMPARE(form.SeekSlider()->Value(), 460);
        QCOMPARE(form.TimeLabel()->text(), QStringLiteral("00:00:46/00:01:30"));

        player.Take();
        player.state = engine::kPlayerEnded;
        player.PostState(engine::kPlayerEnded);
        RunPosted();
        QCOMPARE(player.Take(), Log({"Seek 0", "Pause"}));
        QCOMPARE(form.SeekSlider()->Value(), 0);
        QCOMPARE(form.SeekSlider()->SelLength(), 0);
        QCOMPARE(form.TimeLabel()->text(), QStringLiteral("00:00:00/00:01:30"));
        QCOMPARE(form.PauseButtonCaption(), QStringLiteral("4"));
    }

    void muteIcons() {
        FormPlayer& form = Loaded();
        FakePlayer& player = *engine_.player;
        const QImage speaker = form.Mute()->Picture().toImage();
        QTest::mouseClick(form.Mute(), Qt::LeftButton);
        QVERIFY(player.Muted());
        QVERIFY(form.Mute()->ShowsMuted());
        const QImage muted = form.Mute()->Picture().toImage();
        QVERIFY(muted != speaker);
        QCOMPARE(form.Mute()->Picture().deviceIndependentSize(), QSizeF(20, 15));
        // M toggles it back, from anywhere in the window.
        QTest::keyClick(&form, Qt::Key_M);
        QVERIFY(!player.Muted());
        QCOMPARE(form.Mute()->Picture().toImage(), speaker);
        // A right click does nothing.
        QTest::mouseClick(form.Mute(), Qt::RightButton);
        QVERIFY(!player.Muted());
    }

    void seekKeyFramesWhileDraggingExactlyOnRelease() {
        FormPlayer& form = Loaded();
        FakePlayer& player = *engine_.player;
        player.PostDuration(100 * kSecond);
        RunPosted();
        player.Take();
        NaSlider* seek = form.SeekSlider();
        // Pressing does not seek; dragging moves the thumb and the picture follows with key
        // frame seeks.
        QTest::mousePress(seek, Qt::LeftButton, {}, QPoint(30, 6));
        QVERIFY(Calls(player, "Seek").empty());
        QTest::mouseMove(seek, QPoint(80, 6));
        const Log dragged = player.Take();
        QCOMPARE(dragged.size(), std::size_t{1});
        QVERIFY(dragged.front().ends_with(" mode 1"));
        // The release at 116 px (1740 twips) of 233: 1000 × 1740 ÷ 3495 = 497.9 → 498.
        QTest::mouseRelease(seek, Qt::LeftButton, {}, QPoint(116, 6));
        QCOMPARE(player.Take(), Log({"Seek 49800000"}));
        QCOMPARE(seek->SelLength(), seek->Value());
        QVERIFY(QApplication::overrideCursor() == nullptr);

        // Paused: seek, play a moment, pause, the 50 ms wait, the same seek again.
        QTest::mouseClick(form.PauseButton(), Qt::LeftButton);
        player.Take();
        QTest::mouseClick(seek, Qt::LeftButton, {}, QPoint(0, 6));
        QCOMPARE(player.Take(), Log({"Seek 0", "Resume", "Pause", "Seek 0"}));
        QVERIFY(player.IsPaused());

        // The volume changes on release only.
        NaSlider* volume = form.VolumeSlider();
        QTest::mousePress(volume, Qt::LeftButton, {}, QPoint(36, 6));
        QVERIFY(Calls(player, "SetAudioLevel").empty());
        QTest::mouseRelease(volume, Qt::LeftButton, {}, QPoint(36, 6));
        QCOMPARE(player.Take(), Log({"SetAudioLevel 64"}));
        QCOMPARE(volume->SelLength(), volume->Value());
    }

    void keyboard() {
        FormPlayer& form = Loaded();
        FakePlayer& player = *engine_.player;
        player.PostDuration(100 * kSecond);
        player.PostPosition(30 * kSecond);
        RunPosted();
        player.Take();
        // The pause button has the focus; the arrows seek instead of moving it.
        QCOMPARE(form.focusWidget(), form.PauseButton());
        QTest::keyClick(form.PauseButton(), Qt::Key_Right);
        QTest::keyClick(form.PauseButton(), Qt::Key_Left);
        QTest::keyClick(form.PauseButton(), Qt::Key_Left);
        QCOMPARE(Calls(player, "Seek"), Log({"Seek 35000000", "Seek 30000000", "Seek 25000000"}));
        QCOMPARE(form.focusWidget(), form.PauseButton());
        player.Take();
        QTest::keyClick(form.PauseButton(), Qt::Key_Space);
        QCOMPARE(form.PauseButtonCaption(), QStringLiteral("4"));
        QTest::keyClick(&form, Qt::Key_Space);
        QCOMPARE(form.PauseButtonCaption(), QStringLiteral(";"));
        // A click on the seek slider leaves the focus where it was.
        QTest::mouseClick(form.SeekSlider(), Qt::RightButton, {}, QPoint(5, 5));
        QCOMPARE(form.focusWidget(), form.PauseButton());
        // The seek slider keeps its own arrow keys, which move nothing.
        form.SeekSlider()->setFocus();
        player.Take();
        QTest::keyClick(form.SeekSlider(), Qt::Key_Right);
        QVERIFY(Calls(player, "Seek").empty());
        QCOMPARE(form.SeekSlider()->Value(), 250);
        // The focused volume slider steps with Up/Down and the page keys.
        form.VolumeSlider()->setFocus();
        QTest::keyClick(form.VolumeSlider(), Qt::Key_Down);
        QTest::keyClick(form.VolumeSlider(), Qt::Key_PageDown);
        QCOMPARE(form.VolumeSlider()->Value(), 88);
        QCOMPARE(Calls(player, "SetAudioLevel"), Log({"SetAudioLevel 120", "SetAudioLevel 88"}));

        // Double click on the picture: full screen; Esc leaves it and a second Esc closes.
        QTest::mouseDClick(form.Video(), Qt::LeftButton);
        QTRY_VERIFY(form.isFullScreen());
        QTest::keyClick(&form, Qt::Key_Escape);
        QTRY_VERIFY(!form.isFullScreen());
        QVERIFY(form.isVisible());
        QCOMPARE(player.closeCount, 0);
        QTest::keyClick(&form, Qt::Key_Escape);
        QVERIFY(!form.isVisible());
        QCOMPARE(player.closeCount, 1);
    }

    void sizeSyncTicks() {
        FormPlayer& form = Loaded();
        FakePlayer& player = *engine_.player;
        QTimer* timer = form.SizeSyncTimer();
        timer->setInterval(5);
        // From nothing: width, height, output width, output height, one per tick.
        QTRY_COMPARE(Calls(player, "Apply"),
                     Log({"Apply 516x0 out 0x0", "Apply 516x315 out 0x0", "Apply 516x315 out 516x0",
                          "Apply 516x315 out 516x315"}));
        player.Take();
        form.resize(600, 347);
        QTRY_COMPARE(Calls(player, "Apply"),
                     Log({"Apply 600x315 out 516x315", "Apply 600x315 out 600x315"}));
        QTest::qWait(30);
        QCOMPARE(Calls(player, "Apply").size(), 2U);
    }

    void framesShowInTheirShape() {
        FormPlayer& form = Loaded();
        FakePlayer& player = *engine_.player;
        VideoArea* video = form.Video();
        QImage shot = video->grab().toImage();
        QCOMPARE(shot.pixelColor(258, 150), QColor(Qt::black));
        // A 4:3 picture in the 516 x 315 area: 420 x 315, centred.
        player.PostFrame(Frame(320, 240, qRgb(200, 30, 40)));
        RunPosted();
        QCOMPARE(video->PresentedCount(), 1U);
        QCOMPARE(video->PictureRect(), QRect(48, 0, 420, 315));
        shot = video->grab().toImage();
        QCOMPARE(shot.pixelColor(258, 150), QColor(200, 30, 40));
        QCOMPARE(shot.pixelColor(20, 150), QColor(Qt::black));
        QCOMPARE(shot.pixelColor(495, 150), QColor(Qt::black));
        // Null shows black again.
        player.PostFrame(nullptr);
        RunPosted();
        QCOMPARE(video->grab().toImage().pixelColor(258, 150), QColor(Qt::black));
    }

    void closingClosesTheMediaOnce() {
        bool destroyed = false;
        engine_.onPlayerMade = [&destroyed](FakePlayer& player) {
            player.destroyedFlag = &destroyed;
        };
        FormPlayer& form = Loaded();
        FakePlayer& player = *engine_.player;
        player.PostPosition(5 * kSecond);
        form.close();
        QCOMPARE(player.closeCount, 1);
        QCOMPARE(Calls(player, "CloseMedia").size(), 1U);
        // An event already on its way is dropped, and nothing reaches the closed media.
        RunPosted();
        QTest::mouseClick(form.Mute(), Qt::LeftButton);
        QCOMPARE(player.log.back(), std::string("CloseMedia"));
        form_.reset();
        QVERIFY(destroyed);

        // Rejecting the dialog (Esc) closes the media too, and a later close does not again.
        engine_.onPlayerMade = {};
        Loaded(false);
        FakePlayer* second = engine_.player;
        form_->done(QDialog::Rejected);
        QCOMPARE(second->closeCount, 1);
        form_->close();
        QCOMPARE(second->closeCount, 1);
    }
};

QTEST_MAIN(PlayerWindowTest)
#include "player_window_test.moc"
