// Play from the main window on the real engine module: a generated clip shows in the video
// area and moves; a seek release at half the slider shows the frame at half the duration, as
// the ffmpeg tool decodes it; the volume and mute reach the player; closing stops it. The sound
// goes to SDL's dummy driver.
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <set>

#include "app/app_shell.h"
#include "app/form_player.h"
#include "app/main_window.h"
#include "app/update_check.h"
#include "app/video_area.h"
#include "common/settings_store.h"
#include "engine/engine.h"
#include "widgets/slider/na_slider.h"

using namespace ostrel;

namespace {

constexpr int kClipWidth = 320;
constexpr int kClipHeight = 240;
constexpr int kClipFps = 25;
constexpr int kClipSeconds = 10;
// Pictures are compared at this size, where scaling differences no longer matter; the oracle
// decodes at the size in between.
const QSize kCompareSize(64, 48);
constexpr int kOracleWidth = 160;
constexpr int kOracleHeight = 120;

// Runs the modal window's part of the test inside RunModal, while the window is open.
class ScriptedShell : public Shell {
  public:
    std::function<void(QDialog&)> whileModal;
    QStringList messages;
    int modalCount = 0;

    void Inform(QWidget*, MessageIcon, const QString& text) override { messages.append(text); }
    bool AskYesNo(QWidget*, const QString&) override { return false; }
    QStringList ChooseFiles(QWidget*, const QString&, const QStringList&) override { return {}; }
    void OpenUrl(const QUrl&) override {}
    void RunModal(QDialog& dialog) override {
        ++modalCount;
        dialog.show();
        if (whileModal) {
            whileModal(dialog);
        }
    }
    void EndProcess() override {}
};

bool RunFfmpeg(const QStringList& arguments, QByteArray* output = nullptr) {
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")} +
                     arguments);
    if (!ffmpeg.waitForStarted(10000)) {
        return false;
    }
    QByteArray bytes;
    while (!ffmpeg.waitForFinished(100)) {
        bytes += ffmpeg.readAllStandardOutput();
        if (ffmpeg.state() == QProcess::NotRunning) {
            break;
        }
    }
    bytes += ffmpeg.readAllStandardOutput();
    if (output != nullptr) {
        *output = bytes;
    }
    return ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0;
}

// Mean absolute difference of two images of the same size, per channel, 0..255.
double Difference(const QImage& a, const QImage& b) {
    const QImage left = a.convertToFormat(QImage::Format_RGB32);
    const QImage right = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int y = 0; y < left.height(); ++y) {
        for (int x = 0; x < left.width(); ++x) {
            const QRgb p = left.pixel(x, y);
            const QRgb q = right.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * left.width() * left.height());
}

// The picture part of the video area as shown, at the comparison size.
QImage ShownPicture(VideoArea& video) {
    QSize picture(kClipWidth, kClipHeight);
    picture.scale(video.size(), Qt::KeepAspectRatio);
    const QRect rect(
        QPoint((video.width() - picture.width()) / 2, (video.height() - picture.height()) / 2),
        picture);
    return video.grab(rect).toImage().scaled(kCompareSize, Qt::IgnoreAspectRatio,
                                             Qt::SmoothTransformation);
}

bool NonBlack(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    int bright = 0;
    for (int y = 0; y < rgb.height(); ++y) {
        for (int x = 0; x < rgb.width(); ++x) {
            bright += qGray(rgb.pixel(x, y)) > 40 ? 1 : 0;
        }
    }
    return bright > rgb.width() * rgb.height() / 4;
}

}  // namespace

class PlayerEngineTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir settingsDir_;
    QTemporaryDir mediaDir_;
    QString clip_;
    std::vector<QImage> frames_;  // every frame of the clip as ffmpeg decodes it, small

  private slots:
    void initTestCase() {
        QVERIFY(settingsDir_.isValid());
        QVERIFY(mediaDir_.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir_.path());
        WriteSetting(kSettingLastCheckUpdate, LastCheckText(QDate::currentDate()));
        clip_ = mediaDir_.filePath(QStringLiteral("moving clip.mp4"));
        const QString size = QStringLiteral("%1x%2").arg(kClipWidth).arg(kClipHeight);
        QVERIFY(RunFfmpeg({"-f",
                           "lavfi",
                           "-i",
                           QStringLiteral("testsrc2=size=%1:rate=%2:duration=%3")
                               .arg(size)
                               .arg(kClipFps)
                               .arg(kClipSeconds),
                           "-f",
                           "lavfi",
                           "-i",
                           QStringLiteral("sine=frequency=440:duration=%1").arg(kClipSeconds),
                           "-c:v",
                           "libx264",
                           "-preset",
                           "ultrafast",
                           "-g",
                           "25",
                           "-pix_fmt",
                           "yuv420p",
                           "-c:a",
                           "aac",
                           "-shortest",
                           clip_}));
        // The oracle: every frame, decoded by the ffmpeg tool and made small.
        QByteArray raw;
        QVERIFY(RunFfmpeg({"-i", clip_, "-map", "0:v", "-vf",
                           QStringLiteral("scale=%1:%2").arg(kOracleWidth).arg(kOracleHeight),
                           "-pix_fmt", "bgra", "-f", "rawvideo", "-"},
                          &raw));
        const qsizetype frameBytes = qsizetype{kOracleWidth} * kOracleHeight * 4;
        QVERIFY(raw.size() >= frameBytes * kClipFps * kClipSeconds);
        for (qsizetype at = 0; at + frameBytes <= raw.size(); at += frameBytes) {
            const QImage frame(reinterpret_cast<const uchar*>(raw.constData() + at), kOracleWidth,
                               kOracleHeight, kOracleWidth * 4, QImage::Format_RGB32);
            frames_.push_back(
                frame.scaled(kCompareSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        }
    }

    void playSeekAndClose() {
        ScriptedShell shell;
        const QString appFolder = QFileInfo(QStringLiteral(OSTREL_ENGINE_FOLDER)).absolutePath();
        MainWindow window(shell, EngineBinding::Module(), appFolder);
        QVERIFY(window.Start());
        window.AddDroppedFiles({clip_});
        QCOMPARE(window.Model().Count(), 1);
        window.Model().SetCurrentRow(0);

        bool ran = false;
        shell.whileModal = [&](QDialog& dialog) {
            auto* form = qobject_cast<FormPlayer*>(&dialog);
            QVERIFY(form != nullptr);
            QVERIFY(QTest::qWaitForWindowExposed(form));
            QCOMPARE(form->windowTitle(), clip_);
            engine::Player* player = form->Player();
            QVERIFY(player != nullptr);
            VideoArea& video = *form->Video();

            // Within 2 s a picture that moves.
            QTRY_VERIFY_WITH_TIMEOUT(NonBlack(ShownPicture(video)), 2000);
            const QImage first = ShownPicture(video);
            QTRY_VERIFY_WITH_TIMEOUT(Difference(ShownPicture(video), first) > 4.0, 1500);
            QTRY_COMPARE_WITH_TIMEOUT(form->SeekSlider()->Max(), 10 * kClipSeconds, 2000);
            QVERIFY(form->Controller().MediaDuration() > 0);
            // The size sync reaches the player: pictures come at the video area's size.
            QTRY_COMPARE_WITH_TIMEOUT(player->OutputWidth(), video.width(), 5000);
            QTRY_COMPARE_WITH_TIMEOUT(player->OutputHeight(), video.height(), 2000);
            QTRY_COMPARE_WITH_TIMEOUT(video.Frame()->width, video.width(), 2000);

            // Paused, a release at half the slider shows the frame at half the duration.
            QTest::mouseClick(form->PauseButton(), Qt::LeftButton);
            QCOMPARE(form->PauseButtonCaption(), QStringLiteral("4"));
            QTRY_VERIFY(player->IsPaused());
            NaSlider* seek = form->SeekSlider();
            QTest::mouseClick(seek, Qt::LeftButton, {}, QPoint(seek->width() / 2, 6));
            QCOMPARE(seek->Value(), 5 * kClipSeconds);
            const double halfUs = form->Controller().MediaDuration() / 2.0;
            const int expected = static_cast<int>(std::floor(halfUs * kClipFps / 1e6 + 1e-6));
            QTRY_VERIFY_WITH_TIMEOUT(std::abs(video.Frame()->ptsUs - halfUs) < 1e6 / kClipFps + 1,
                                     2000);
            QTest::qWait(100);
            const QImage shown = ShownPicture(video);
            int best = -1;
            double bestDifference = std::numeric_limits<double>::max();
            for (int index = 0; index < static_cast<int>(frames_.size()); ++index) {
                const double difference = Difference(shown, frames_[index]);
                if (difference < bestDifference) {
                    bestDifference = difference;
                    best = index;
                }
            }
            qInfo("half of %lld us: frame %d expected, frame %d shown (difference %.2f)",
                  static_cast<long long>(form->Controller().MediaDuration()), expected, best,
                  bestDifference);
            QVERIFY(std::abs(best - expected) <= 1);
            QVERIFY(bestDifference < 8.0);
            // Still paused, on that frame.
            QVERIFY(player->IsPaused());
            QTest::qWait(300);
            QVERIFY(Difference(ShownPicture(video), shown) < 1.0);

            // The volume and mute reach the player.
            // The level is the release's: 128 × 18 px ÷ 72 px = 32 (the slider's own click then
            // places the thumb by its centre).
            NaSlider* volume = form->VolumeSlider();
            QTest::mouseClick(volume, Qt::LeftButton, {}, QPoint(volume->width() / 4, 6));
            QCOMPARE(player->AudioLevel(), 32);
            QCOMPARE(volume->SelLength(), volume->Value());
            QTest::mouseClick(form->Mute(), Qt::LeftButton);
            QVERIFY(player->Muted());

            // Playing again, then closing stops it.
            QTest::mouseClick(form->PauseButton(), Qt::LeftButton);
            QTRY_VERIFY(!player->IsPaused());
            form->close();
            QCOMPARE(player->PlayState(), engine::kPlayerClosed);
            const quint64 presented = video.PresentedCount();
            QTest::qWait(300);
            QCOMPARE(video.PresentedCount(), presented);
            ran = true;
        };
        window.Dispatch(ID_PLAY);
        QCOMPARE(shell.modalCount, 1);
        QVERIFY(ran);
        QVERIFY(shell.messages.isEmpty());
    }

    // A drag from 10 % to 80 % of the seek slider: the thumb never goes back under the pointer,
    // the picture follows with pictures on the way, and the release lands on the exact frame.
    void dragFollowsAndReleaseLands() {
        ScriptedShell shell;
        const QString appFolder = QFileInfo(QStringLiteral(OSTREL_ENGINE_FOLDER)).absolutePath();
        MainWindow window(shell, EngineBinding::Module(), appFolder);
        QVERIFY(window.Start());
        window.AddDroppedFiles({clip_});
        window.Model().SetCurrentRow(0);
        bool ran = false;
        shell.whileModal = [&](QDialog& dialog) {
            auto* form = qobject_cast<FormPlayer*>(&dialog);
            QVERIFY(form != nullptr);
            QVERIFY(QTest::qWaitForWindowExposed(form));
            VideoArea& video = *form->Video();
            NaSlider* seek = form->SeekSlider();
            QTRY_COMPARE_WITH_TIMEOUT(seek->Max(), 10 * kClipSeconds, 2000);
            QTRY_VERIFY_WITH_TIMEOUT(video.Frame() != nullptr, 2000);
            const auto xAt = [seek](double fraction) {
                const double twips =
                    seek->Model().ThumbHalfWidth() + fraction * seek->Model().TrackLength();
                return QPoint(static_cast<int>(std::lround(twips / 15.0)), 6);
            };
            QTest::mousePress(seek, Qt::LeftButton, {}, xAt(0.1));
            std::set<std::int64_t> picturesOnTheWay;
            int lastValue = -1;
            for (int step = 1; step <= 14; ++step) {
                QTest::mouseMove(seek, xAt(0.1 + 0.05 * step));
                QTest::qWait(120);
                QVERIFY2(seek->Value() >= lastValue, "the thumb went back");
                lastValue = seek->Value();
                const std::int64_t ptsUs = video.Frame()->ptsUs;
                if (ptsUs > 1'000'000 && ptsUs < 8'000'000) {
                    picturesOnTheWay.insert(ptsUs);
                }
            }
            qInfo("%zu pictures on the way", picturesOnTheWay.size());
            QVERIFY(picturesOnTheWay.size() >= 3);
            QTest::mouseClick(form->PauseButton(), Qt::LeftButton);
            const QPoint releaseAt = xAt(0.8);
            QTest::mouseRelease(seek, Qt::LeftButton, {}, releaseAt);
            // The release seeks to x × Max ÷ width (the slider's own click then places the thumb
            // by its centre).
            const double released =
                std::nearbyint(releaseAt.x() * 15.0 * seek->Max() / (seek->width() * 15.0));
            const double targetUs =
                form->Controller().MediaDuration() * released / static_cast<double>(seek->Max());
            const std::int64_t frameUs =
                std::llround(std::floor(targetUs * kClipFps / 1e6 + 1e-6) * 1e6 / kClipFps);
            QTRY_VERIFY_WITH_TIMEOUT(std::llabs(video.Frame()->ptsUs - frameUs) < 1000, 3000);
            ran = true;
            form->close();
        };
        window.Dispatch(ID_PLAY);
        QVERIFY(ran);
    }
};

QTEST_MAIN(PlayerEngineTest)
#include "player_engine_test.moc"
