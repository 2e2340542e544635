#include "player/player_controller.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <optional>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "fake_player.h"
#include "qt_printers.h"

namespace ostrel {
namespace {

using Log = std::vector<std::string>;
using ostrel::testing::FakePlayer;

constexpr std::int64_t kSecond = 1'000'000;
// The seek slider at its design-size layout width, and its width in twips.
constexpr int kSeekWidthPx = 233;
constexpr float kSeekWidthTwips = kSeekWidthPx * 15.0F;

class NoSurface : public engine::VideoSurface {
  public:
    void PresentFrame(std::shared_ptr<const engine::VideoFrame>) override {}
};

// A controller over two slider models and a fake player, with the wait written to the
// player's log so that it shows up between the calls.
struct Window {
    SliderModel seek{SliderSkin::SeekSkin};
    SliderModel volume{SliderSkin::VolumeSkin};
    FakePlayer player;
    std::function<void()> duringWait;
    PlayerController controller{seek, volume, [this](int ms) {
                                    player.log.push_back("Wait " + std::to_string(ms));
                                    if (duringWait) {
                                        duringWait();
                                    }
                                }};
    std::vector<bool> busy;

    explicit Window(int state = engine::kPlayerPlaying) {
        player.state = state;
        controller.SetPlayer(&player);
        controller.SetDurationText(QStringLiteral("00:01:30"));
        controller.ApplySliderSettings();
        seek.HandleResize(kSeekWidthPx * 15, 180);
        QObject::connect(&controller, &PlayerController::busyPointer, &controller,
                         [this](bool on) { busy.push_back(on); });
        player.Take();
    }
};

TEST(PlayerControllerTest, DurationAndPositionScales) {
    const struct {
        const char* name;
        std::vector<std::int64_t> durationsUs;  // DurationKnown events before the position
        std::int64_t positionUs;
        std::int32_t max;
        std::int32_t value;
        const char* text;
    } cases[] = {
        // 90.5 s rounds to 90 (halves to even), 45.5 s to 46.
        {"half seconds", {90'500'000}, 45'500'000, 900, 460, "00:00:46/00:01:30"},
        {"half below even", {90'500'000}, 44'500'000, 900, 440, "00:00:44/00:01:30"},
        {"whole minutes", {3600 * kSecond}, 61 * kSecond, 36000, 610, "00:01:01/00:01:30"},
        // Position 0 changes nothing, not even the text.
        {"position zero", {90'500'000}, 0, 900, 0, "00:00:00/00:01:30"},
        {"negative position", {90'500'000}, -5 * kSecond, 900, 0, "00:00:00/00:01:30"},
        // Until the duration arrives positions are ignored and Max keeps 1000.
        {"no duration yet", {}, 45 * kSecond, 1000, 0, "00:00:00/00:01:30"},
        {"unknown length", {0}, 45 * kSecond, 0, 0, "00:00:00/00:01:30"},
        // A clip shorter than half a second has Max 0: the thumb stays at 0.
        {"shorter than half a second", {400'000}, 300'000, 0, 0, "00:00:00/00:01:30"},
        {"position past the end", {10 * kSecond}, 12 * kSecond, 100, 100, "00:00:12/00:01:30"},
    };
    for (const auto& c : cases) {
        Window window;
        for (const std::int64_t duration : c.durationsUs) {
            window.controller.HandleDurationKnown(duration);
        }
        window.controller.HandlePositionChanged(c.positionUs);
        EXPECT_EQ(window.seek.Max(), c.max) << c.name;
        EXPECT_EQ(window.seek.Value(), c.value) << c.name;
        EXPECT_EQ(window.seek.SelLength(), c.value) << c.name;
        EXPECT_EQ(window.controller.TimeText(), QString::fromLatin1(c.text)) << c.name;
        EXPECT_TRUE(window.player.log.empty()) << c.name;
    }
}

TEST(PlayerControllerTest, SeekReleaseSequences) {
    const struct {
        const char* name;
        int state;
        std::int64_t durationUs;  // 0: no duration event
        std::int32_t draggedValue;
        int button;
        float xTwips;
        std::int32_t value;  // after the release
        Log calls;
    } cases[] = {
        // Half the slider's width: 900 × 1747.5 ÷ 3495 = 450; 90.5 s × 450 ÷ 900 = 45.25 s.
        {"playing", 2, 90'500'000, 0, 1, kSeekWidthTwips / 2, 450, {"Seek 45250000"}},
        {"paused",
         3,
         90'500'000,
         0,
         1,
         kSeekWidthTwips / 2,
         450,
         {"Seek 45250000", "Resume", "Pause", "Wait 50", "Seek 45250000"}},
        {"stopped",
         1,
         90'500'000,
         0,
         1,
         kSeekWidthTwips / 2,
         450,
         {"Seek 45250000", "Resume", "Pause", "Wait 50", "Seek 45250000"}},
        {"ended", 5, 90'500'000, 0, 1, kSeekWidthTwips / 2, 450, {"Seek 45250000"}},
        {"closed", 0, 90'500'000, 0, 1, kSeekWidthTwips / 2, 450, {"Seek 45250000"}},
        // 900 × 1000 ÷ 3495 = 257.51 rounds to 258; 90.5 s × 258 ÷ 900 = 25.943333 s.
        {"rounded value and target", 2, 90'500'000, 0, 1, 1000, 258, {"Seek 25943333"}},
        // Outside the slider nothing is assigned: the seek takes the value the drag left.
        {"left of the slider", 2, 90'500'000, 300, 1, -40, 300, {"Seek 30166667"}},
        {"beyond its right edge",
         2,
         90'500'000,
         300,
         1,
         kSeekWidthTwips + 30,
         300,
         {"Seek 30166667"}},
        {"right edge", 2, 90'500'000, 300, 1, kSeekWidthTwips, 900, {"Seek 90500000"}},
        // Before the duration event every release targets microsecond 0.
        {"no duration yet", 2, 0, 0, 1, kSeekWidthTwips / 2, 500, {"Seek 0"}},
        {"secondary button", 2, 90'500'000, 300, 2, kSeekWidthTwips / 2, 300, {}},
        {"middle button", 3, 90'500'000, 300, 4, kSeekWidthTwips / 2, 300, {}},
    };
    for (const auto& c : cases) {
        Window window(c.state);
        if (c.durationUs != 0) {
            window.controller.HandleDurationKnown(c.durationUs);
        }
        window.seek.SetValue(c.draggedValue);
        window.controller.SeekMouseUp(c.button, c.xTwips, kSeekWidthPx);
        EXPECT_EQ(window.player.Take(), c.calls) << c.name;
        EXPECT_EQ(window.seek.Value(), c.value) << c.name;
        if (c.button == 1) {
            EXPECT_EQ(window.busy, std::vector<bool>({true, false})) << c.name;
            EXPECT_EQ(window.seek.SelLength(), c.value) << c.name;
        } else {
            EXPECT_TRUE(window.busy.empty()) << c.name;
            EXPECT_EQ(window.seek.SelLength(), 0) << c.name;
        }
    }
}

TEST(PlayerControllerTest, EventsDuringTheSettleWait) {
    // Positions arriving during the wait move the thumb, but the second seek keeps its target,
    // and the fill follows the thumb where the wait left it.
    Window window(engine::kPlayerPaused);
    window.controller.HandleDurationKnown(100 * kSecond);
    window.duringWait = [&window] { window.controller.HandlePositionChanged(71 * kSecond); };
    window.controller.SeekMouseUp(1, kSeekWidthTwips / 4, kSeekWidthPx);
    EXPECT_EQ(window.player.Take(),
              Log({"Seek 25000000", "Resume", "Pause", "Wait 50", "Seek 25000000"}));
    EXPECT_EQ(window.seek.Value(), 710);
    EXPECT_EQ(window.seek.SelLength(), 710);

    // The window closed while the wait ran its events: the closed media is not seeked again.
    Window closing(engine::kPlayerPaused);
    closing.controller.HandleDurationKnown(100 * kSecond);
    closing.duringWait = [&closing] { closing.controller.Close(); };
    closing.controller.SeekMouseUp(1, kSeekWidthTwips / 4, kSeekWidthPx);
    EXPECT_EQ(closing.player.Take(),
              Log({"Seek 25000000", "Resume", "Pause", "Wait 50", "CloseMedia"}));
    EXPECT_EQ(closing.busy, std::vector<bool>({true, false}));
}

TEST(PlayerControllerTest, ClickOnlyMovesTheFill) {
    Window window;
    window.controller.HandleDurationKnown(100 * kSecond);
    window.seek.SetValue(420);
    window.controller.SeekClicked();
    EXPECT_EQ(window.seek.SelLength(), 420);
    window.volume.SetValue(30);
    window.controller.VolumeClicked();
    EXPECT_EQ(window.volume.SelLength(), 30);
    EXPECT_TRUE(window.player.log.empty());
}

TEST(PlayerControllerTest, VolumeRelease) {
    const struct {
        const char* name;
        int button;
        float xTwips;
        int widthPx;
        std::int32_t value;
        Log calls;
    } cases[] = {
        // 128 × 540 ÷ 1080 = 64.
        {"middle", 1, 540, 72, 64, {"SetAudioLevel 64"}},
        // 128 × 135 ÷ 1080 = 16.
        {"near the left", 1, 135, 72, 16, {"SetAudioLevel 16"}},
        {"left end", 1, 0, 72, 0, {"SetAudioLevel 0"}},
        // Outside nothing is assigned, the level is set from the value all the same.
        {"left of the slider", 1, -15, 72, 128, {"SetAudioLevel 128"}},
        {"beyond the right edge", 1, 1200, 72, 128, {"SetAudioLevel 128"}},
        {"zero width", 1, 500, 0, 128, {"SetAudioLevel 128"}},
        {"secondary button", 2, 540, 72, 128, {}},
    };
    for (const auto& c : cases) {
        Window window;
        window.controller.VolumeMouseUp(c.button, c.xTwips, c.widthPx);
        EXPECT_EQ(window.player.Take(), c.calls) << c.name;
        EXPECT_EQ(window.volume.Value(), c.value) << c.name;
        EXPECT_EQ(window.volume.SelLength(), c.button == 1 ? c.value : 128) << c.name;
    }
}

TEST(PlayerControllerTest, VolumeKeys) {
    const struct {
        int start;
        int keyCode;
        std::int32_t value;
        Log calls;
    } cases[] = {
        {64, kSliderKeyUp, 72, {"SetAudioLevel 72"}},
        {64, kSliderKeyRight, 72, {"SetAudioLevel 72"}},
        {64, kSliderKeyDown, 56, {"SetAudioLevel 56"}},
        {64, kSliderKeyLeft, 56, {"SetAudioLevel 56"}},
        {64, kSliderKeyPageUp, 96, {"SetAudioLevel 96"}},
        {64, kSliderKeyPageDown, 32, {"SetAudioLevel 32"}},
        {124, kSliderKeyUp, 128, {"SetAudioLevel 128"}},
        {20, kSliderKeyPageDown, 0, {"SetAudioLevel 0"}},
        {64, 'M', 64, {}},
    };
    for (const auto& c : cases) {
        Window window;
        window.volume.SetValue(c.start);
        window.volume.HandleKeyDown(c.keyCode, 0);
        window.controller.VolumeKeyDown(c.keyCode);
        EXPECT_EQ(window.player.Take(), c.calls) << c.keyCode;
        EXPECT_EQ(window.volume.Value(), c.value) << c.keyCode;
    }
}

TEST(PlayerControllerTest, LoadedSliderSettings) {
    Window window;
    EXPECT_EQ(window.seek.SmallChange(), 0);
    EXPECT_EQ(window.seek.LargeChange(), 0);
    EXPECT_EQ(window.seek.Max(), 1000);
    EXPECT_EQ(window.volume.Max(), 128);
    EXPECT_EQ(window.volume.Value(), 128);
    EXPECT_EQ(window.volume.SelLength(), 128);
    EXPECT_EQ(window.volume.SmallChange(), 0);
    EXPECT_EQ(window.volume.LargeChange(), 0);
    EXPECT_EQ(window.controller.TimeText(), QStringLiteral("00:00:00/00:01:30"));
    EXPECT_EQ(window.controller.PauseButtonCaption(), kPauseCaption);
}

TEST(PlayerControllerTest, EndOfPlaybackRewindsAndTheButtonPlaysAgain) {
    Window window;
    window.controller.HandleDurationKnown(10 * kSecond);
    window.controller.HandlePositionChanged(10 * kSecond);
    window.player.state = engine::kPlayerEnded;
    EXPECT_EQ(window.controller.TimeText(), QStringLiteral("00:00:10/00:01:30"));
    window.controller.HandleStateChanged(engine::kPlayerEnded);
    EXPECT_EQ(window.player.Take(), Log({"Seek 0", "Pause"}));
    EXPECT_EQ(window.seek.Value(), 0);
    EXPECT_EQ(window.seek.SelLength(), 0);
    EXPECT_EQ(window.controller.TimeText(), QStringLiteral("00:00:00/00:01:30"));
    EXPECT_EQ(window.controller.PauseButtonCaption(), kPlayCaption);

    // One click plays from the start.
    window.player.state = engine::kPlayerPaused;
    window.controller.PauseButtonClicked();
    EXPECT_EQ(window.player.Take(), Log({"TogglePause"}));
    EXPECT_EQ(window.controller.PauseButtonCaption(), kPauseCaption);
    window.controller.PauseButtonClicked();
    EXPECT_EQ(window.controller.PauseButtonCaption(), kPlayCaption);
}

TEST(PlayerControllerTest, OtherStates) {
    const struct {
        const char* name;
        int state;
        bool hasSurface;
        int leaveTopmost;
        int repaints;
    } cases[] = {
        {"repaint with a video area", 4, true, 1, 1},
        {"repaint without one", 4, false, 1, 0},
        {"playing", 2, true, 0, 0},
        {"paused", 3, true, 0, 0},
        {"stopped", 1, true, 0, 0},
        {"closed", 0, true, 0, 0},
        {"unknown", 77, true, 0, 0},
    };
    for (const auto& c : cases) {
        Window window;
        NoSurface surface;
        window.player.surface = c.hasSurface ? &surface : nullptr;
        int leaveTopmost = 0;
        int repaints = 0;
        QObject::connect(&window.controller, &PlayerController::leaveTopmostRequested,
                         &window.controller, [&] { ++leaveTopmost; });
        QObject::connect(&window.controller, &PlayerController::videoRepaintRequested,
                         &window.controller, [&] {
                             EXPECT_EQ(leaveTopmost, 1);  // the Z-order first
                             ++repaints;
                         });
        window.seek.SetValue(300);
        window.controller.HandleStateChanged(c.state);
        EXPECT_EQ(leaveTopmost, c.leaveTopmost) << c.name;
        EXPECT_EQ(repaints, c.repaints) << c.name;
        EXPECT_TRUE(window.player.log.empty()) << c.name;
        EXPECT_EQ(window.seek.Value(), 300) << c.name;
        EXPECT_EQ(window.controller.PauseButtonCaption(), kPauseCaption) << c.name;
    }
}

TEST(PlayerControllerTest, MuteToggle) {
    Window window;
    std::vector<bool> icons;
    QObject::connect(&window.controller, &PlayerController::muteIconChanged, &window.controller,
                     [&icons](bool muted) { icons.push_back(muted); });
    window.controller.MuteClicked();
    window.controller.MuteClicked();
    window.controller.MuteClicked();
    EXPECT_EQ(window.player.Take(), Log({"SetMuted true", "SetMuted false", "SetMuted true"}));
    EXPECT_EQ(icons, std::vector<bool>({true, false, true}));
    EXPECT_TRUE(window.controller.MuteIconShown());

    // Muted from elsewhere: the toggle follows the player, not its own icon.
    window.player.SetMuted(false);
    window.player.Take();
    window.controller.MuteClicked();
    EXPECT_EQ(window.player.Take(), Log({"SetMuted true"}));
}

TEST(PlayerControllerTest, KeySeeksGoThroughTheReleasePath) {
    const struct {
        const char* name;
        int state;
        std::int64_t durationUs;
        std::int32_t startValue;
        int seconds;
        std::int32_t value;
        Log calls;
    } cases[] = {
        {"forward", 2, 100 * kSecond, 300, 5, 350, {"Seek 35000000"}},
        {"back", 2, 100 * kSecond, 300, -5, 250, {"Seek 25000000"}},
        {"a minute forward", 2, 100 * kSecond, 300, 60, 900, {"Seek 90000000"}},
        {"back past the start", 2, 100 * kSecond, 20, -5, 0, {"Seek 0"}},
        {"forward past the end", 2, 100 * kSecond, 980, 5, 1000, {"Seek 100000000"}},
        {"paused",
         3,
         100 * kSecond,
         300,
         5,
         350,
         {"Seek 35000000", "Resume", "Pause", "Wait 50", "Seek 35000000"}},
        {"length unknown", 2, 0, 300, 5, 0, {}},  // Max 0 holds the thumb at 0
    };
    for (const auto& c : cases) {
        Window window(c.state);
        window.controller.HandleDurationKnown(c.durationUs);
        window.seek.SetValue(c.startValue);
        window.controller.SeekBy(c.seconds);
        EXPECT_EQ(window.player.Take(), c.calls) << c.name;
        EXPECT_EQ(window.seek.Value(), c.value) << c.name;
        EXPECT_EQ(window.seek.SelLength(), c.calls.empty() ? 0 : c.value) << c.name;
    }
}

// Drag positions are sought at once, then at most every 200 ms, the latest pending one winning.
TEST(PlayerControllerTest, DragSeeksAreThrottledLatestWins) {
    struct Step {
        bool take;  // TakeDue, else Offer of target
        std::int64_t target;
        std::int64_t atMs;
        std::optional<std::int64_t> sought;
    };
    const struct {
        const char* name;
        std::vector<Step> steps;
    } cases[] = {
        {"first at once, next after the interval", {{false, 10, 0, 10}, {false, 20, 250, 20}}},
        {"too soon waits, the latest wins",
         {{false, 10, 0, 10},
          {false, 20, 50, {}},
          {false, 30, 100, {}},
          {true, 0, 150, {}},
          {true, 0, 200, 30},
          {true, 0, 400, {}}}},
        {"the same position is not sought twice", {{false, 10, 0, 10}, {false, 10, 500, {}}}},
        {"an offer after the interval takes over the pending one",
         {{false, 10, 0, 10}, {false, 20, 100, {}}, {false, 30, 300, 30}, {true, 0, 600, {}}}},
    };
    for (const auto& c : cases) {
        DragSeekThrottle throttle;
        for (const Step& step : c.steps) {
            const auto sought =
                step.take ? throttle.TakeDue(step.atMs) : throttle.Offer(step.target, step.atMs);
            EXPECT_EQ(sought, step.sought) << c.name << " at " << step.atMs;
        }
    }
}

// While the primary button holds the thumb, positions move only the text; the drag seeks key
// frames and the release seeks exactly where the thumb was let go.
TEST(PlayerControllerTest, HeldThumbFollowsThePointerNotThePlayer) {
    const struct {
        const char* name;
        int button;
        bool held;
    } cases[] = {{"primary", 1, true}, {"secondary", 2, false}, {"middle", 4, false}};
    for (const auto& c : cases) {
        Window window;
        window.controller.HandleDurationKnown(100 * kSecond);
        window.controller.HandlePositionChanged(10 * kSecond);
        window.controller.SeekMouseDown(c.button);
        window.seek.HandleMouseDown(c.button, 0, 0, 0);
        // Half way along the track (the thumb's centre range maps onto 0..Max).
        window.seek.HandleMouseMove(
            c.button, 0, window.seek.ThumbHalfWidth() + window.seek.TrackLength() / 2, 0);
        window.controller.SeekMouseMove(c.button);
        window.controller.HandlePositionChanged(11 * kSecond);
        EXPECT_EQ(window.controller.TimeText(), QStringLiteral("00:00:11/00:01:30")) << c.name;
        EXPECT_EQ(window.seek.Value(), c.held ? 500 : 110) << c.name;
        EXPECT_EQ(window.player.Take(), c.held ? Log{"Seek 50000000 mode 1"} : Log{}) << c.name;
        window.controller.SeekMouseUp(c.button, kSeekWidthTwips / 2, kSeekWidthPx);
        EXPECT_EQ(window.player.Take(), c.held ? Log{"Seek 50000000"} : Log{}) << c.name;
        EXPECT_FALSE(window.controller.SeekThumbHeld()) << c.name;
        window.controller.HandlePositionChanged(12 * kSecond);
        EXPECT_EQ(window.seek.Value(), 120) << c.name;
    }
}

// mpv's keys: Up/Down a minute, , and . one picture, pausing first.
TEST(PlayerControllerTest, FrameStepKeysPauseFirst) {
    const struct {
        int state;
        int frames;
        Log calls;
        QString caption;
    } cases[] = {
        {engine::kPlayerPlaying, 1, {"Pause", "StepFrames 1"}, kPlayCaption},
        {engine::kPlayerPaused, -1, {"StepFrames -1"}, kPauseCaption},
    };
    for (const auto& c : cases) {
        Window window(c.state);
        window.controller.StepFrames(c.frames);
        EXPECT_EQ(window.player.Take(), c.calls);
        EXPECT_EQ(window.controller.PauseButtonCaption(), c.caption);
    }
}

// V hides the subtitles and shows the track last shown again; without tracks it does nothing.
TEST(PlayerControllerTest, SubtitleToggleRemembersTheTrack) {
    const struct {
        const char* name;
        std::vector<std::string> tracks;
        int shown;
        int chosen;  // picked from the menu first, or -2 for no choice
        Log calls;
    } cases[] = {
        {"first track",
         {"Track 1", "Track 2"},
         0,
         -2,
         {"SetSubtitleTrack -1", "SetSubtitleTrack 0"}},
        {"chosen track",
         {"Track 1", "Track 2"},
         0,
         1,
         {"SetSubtitleTrack 1", "SetSubtitleTrack -1", "SetSubtitleTrack 1"}},
        {"no tracks", {}, -1, -2, {}},
    };
    for (const auto& c : cases) {
        Window window;
        window.player.subtitleTracks = c.tracks;
        window.player.subtitleTrack = c.shown;
        if (c.chosen != -2) {
            window.controller.SetSubtitleTrack(c.chosen);
        }
        window.controller.ToggleSubtitles();
        window.controller.ToggleSubtitles();
        EXPECT_EQ(window.player.Take(), c.calls) << c.name;
    }
}

TEST(PlayerControllerTest, SizeSyncChangesOneSizePerTick) {
    const struct {
        const char* name;
        double startWidth;  // the sizes already in step before the change
        double startHeight;
        double width;
        double height;
        Log ticks;  // one entry per tick; "" for a tick that changes nothing
    } cases[] = {
        {"both",
         0,
         0,
         516,
         315,
         {"Apply 516x0 out 0x0", "Apply 516x315 out 0x0", "Apply 516x315 out 516x0",
          "Apply 516x315 out 516x315", ""}},
        {"width only",
         516,
         315,
         600,
         315,
         {"Apply 600x315 out 516x315", "Apply 600x315 out 600x315", ""}},
        {"height only",
         516,
         315,
         516,
         200,
         {"Apply 516x200 out 516x315", "Apply 516x200 out 516x200", ""}},
        {"unchanged", 516, 315, 516, 315, {""}},
        // Device pixels: a fractional size is rounded, halves to even, and then stays put.
        {"fractional",
         516,
         315,
         645.5,
         393.75,
         {"Apply 646x315 out 516x315", "Apply 646x394 out 516x315", "Apply 646x394 out 646x315",
          "Apply 646x394 out 646x394", ""}},
    };
    for (const auto& c : cases) {
        Window window;
        window.player.SetDisplayWidth(static_cast<int>(c.startWidth));
        window.player.SetDisplayHeight(static_cast<int>(c.startHeight));
        window.player.SetOutputWidth(static_cast<int>(c.startWidth));
        window.player.SetOutputHeight(static_cast<int>(c.startHeight));
        Log ticks;
        for (std::size_t tick = 0; tick < c.ticks.size(); ++tick) {
            window.controller.SizeSyncTick(c.width, c.height);
            const Log calls = window.player.Take();
            ASSERT_LE(calls.size(), 1U) << c.name;
            ticks.push_back(calls.empty() ? std::string() : calls.front());
        }
        EXPECT_EQ(ticks, c.ticks) << c.name;
    }
}

TEST(PlayerControllerTest, WithoutPlayerOrAfterCloseNothingReachesThePlayer) {
    Window window(engine::kPlayerPaused);
    window.controller.HandleDurationKnown(100 * kSecond);
    window.controller.Close();
    window.controller.Close();
    EXPECT_EQ(window.player.Take(), Log({"CloseMedia"}));
    EXPECT_TRUE(window.controller.Closed());
    window.controller.SeekMouseUp(1, kSeekWidthTwips / 2, kSeekWidthPx);
    window.controller.VolumeMouseUp(1, 540, 72);
    window.controller.PauseButtonClicked();
    window.controller.MuteClicked();
    window.controller.SizeSyncTick(300, 200);
    window.controller.HandleStateChanged(engine::kPlayerEnded);
    EXPECT_TRUE(window.player.log.empty());
    // The controls still react.
    EXPECT_EQ(window.seek.Value(), 0);
    EXPECT_EQ(window.volume.Value(), 64);
    EXPECT_TRUE(window.controller.MuteIconShown());
    EXPECT_EQ(window.controller.PauseButtonCaption(), kPlayCaption);

    SliderModel seek(SliderSkin::SeekSkin);
    SliderModel volume(SliderSkin::VolumeSkin);
    PlayerController alone(seek, volume, [](int) {});
    alone.HandleDurationKnown(20 * kSecond);
    alone.SeekMouseUp(1, 100, 100);
    alone.PauseButtonClicked();
    alone.Close();
    EXPECT_EQ(seek.Max(), 200);
    EXPECT_EQ(alone.PauseButtonCaption(), kPauseCaption);
}

TEST(PlayerControllerTest, WaitRunsEventsForAtLeastItsTime) {
    int argc = 1;
    char name[] = "player_controller_test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    bool ran = false;
    QTimer::singleShot(5, &app, [&ran] { ran = true; });
    QElapsedTimer clock;
    clock.start();
    WaitMilliseconds(50);
    EXPECT_GE(clock.elapsed(), 50);
    EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace ostrel
