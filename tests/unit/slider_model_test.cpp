#include "widgets/slider/slider_model.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <cmath>
#include <limits>

#include "qt_printers.h"
#include "slider_event_log.h"

namespace ostrel {
namespace {

constexpr std::int32_t kIntMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kIntMin = std::numeric_limits<std::int32_t>::min();

// The model's events, with each repaint run as the widget runs it, so that it shows up as
// "Paint"; and the properties marked changed.
class Recorder : public SliderEventLog<SliderModel> {
  public:
    explicit Recorder(SliderModel& model) : SliderEventLog(model) {
        QObject::connect(&model, &SliderModel::RepaintRequested, &context_, [&model] {
            model.BeginPaint();
            model.EndPaint();
        });
        QObject::connect(&model, &SliderModel::PropertyChanged, &context_,
                         [this](const QString& name) { marked << name; });
    }

    QStringList Take() {
        marked.clear();
        return SliderEventLog::Take();
    }

    QStringList marked;

  private:
    QObject context_;
};

// A seek slider as the player window places it: 3525 × 180 twips.
void PlaceSeekSlider(SliderModel& model, std::int32_t width = 3525) {
    model.HandleResize(width, 180);
}

TEST(SliderModelTest, CreationDefaultsAndResizeGeometry) {
    const struct {
        SliderSkin skin;
        std::int32_t width;
        std::int32_t thumbHalfWidth;
        std::int32_t trackLength;
    } cases[] = {
        {SliderSkin::SeekSkin, 3525, 120, 3285}, {SliderSkin::SeekSkin, 240, 120, 0},
        {SliderSkin::SeekSkin, 150, 120, -90},   {SliderSkin::VolumeSkin, 1080, 90, 900},
        {SliderSkin::VolumeSkin, 1005, 90, 825},
    };
    for (const auto& c : cases) {
        SliderModel model(c.skin);
        EXPECT_EQ(model.Values(), SliderValues{});
        EXPECT_EQ(model.Max(), 1000);
        EXPECT_EQ(model.LastUpX(), 0);
        Recorder recorder(model);
        model.HandleResize(c.width, 180);
        EXPECT_EQ(model.ThumbHalfWidth(), c.thumbHalfWidth) << c.width;
        EXPECT_EQ(model.TrackLength(), c.trackLength) << c.width;
        // Resize raises its event and leaves the repaint to the platform.
        EXPECT_EQ(recorder.Take(), QStringList{"Resize v=0"});
    }
}

TEST(SliderModelTest, ValueWriteClampsToMaxThenMin) {
    const struct {
        std::int32_t min;
        std::int32_t max;
        std::int32_t written;
        std::int32_t stored;
    } cases[] = {
        {0, 1000, 5000, 1000}, {0, 1000, -3, 0},
        {0, 1000, 1000, 1000}, {0, 1000, 500, 500},
        {10, 5, 7, 10},        {10, 5, 100, 10},
        {10, 5, -100, 10},     {kIntMin, kIntMax, kIntMin, kIntMin},
        {0, 0, 1, 0},
    };
    for (const auto& c : cases) {
        SliderModel model(SliderSkin::SeekSkin);
        model.SetMin(c.min);
        model.SetMax(c.max);
        Recorder recorder(model);
        model.SetValue(c.written);
        EXPECT_EQ(model.Value(), c.stored) << c.min << ".." << c.max << " <- " << c.written;
        EXPECT_EQ(recorder.marked, QStringList{"Value"});
        EXPECT_EQ(recorder.Take(), QStringList{"Paint"});
    }
}

TEST(SliderModelTest, OtherWritesStoreWithoutClampingAndOnlySelectionRepaints) {
    const struct {
        const char* property;
        void (SliderModel::*write)(std::int32_t);
        bool repaints;
    } cases[] = {
        {"Min", &SliderModel::SetMin, false},
        {"Max", &SliderModel::SetMax, false},
        {"SmallChange", &SliderModel::SetSmallChange, false},
        {"LargeChange", &SliderModel::SetLargeChange, false},
        {"TickNumber", &SliderModel::SetTickNumber, false},
        {"SelStart", &SliderModel::SetSelStart, true},
        {"SelLength", &SliderModel::SetSelLength, true},
    };
    for (const auto& c : cases) {
        SliderModel model(SliderSkin::SeekSkin);
        model.SetValue(700);
        Recorder recorder(model);
        (model.*c.write)(300);
        EXPECT_EQ(model.Value(), 700) << c.property;  // Max 300 leaves Value above it
        EXPECT_EQ(recorder.marked, QStringList{QString::fromLatin1(c.property)});
        EXPECT_EQ(recorder.Take(), c.repaints ? QStringList{"Paint"} : QStringList{}) << c.property;
    }
    SliderModel model(SliderSkin::SeekSkin);
    Recorder recorder(model);
    model.SetShowTicks(false);
    EXPECT_FALSE(model.ShowTicks());
    EXPECT_EQ(recorder.marked, QStringList{"ShowTicks"});
    EXPECT_EQ(recorder.Take(), QStringList{});
}

TEST(SliderModelTest, KeysStepByTheirChangeAndAlwaysRepaintAndRaiseKeyDown) {
    const struct {
        std::int32_t value;
        std::int32_t min;
        std::int32_t max;
        std::int32_t smallChange;
        std::int32_t largeChange;
        int key;
        std::int32_t expected;
        int paints;  // a key that writes Value paints twice
    } cases[] = {
        {500, 0, 1000, 1, 10, 33, 490, 2},
        {10, 0, 1000, 1, 10, 33, 0, 2},  // lands exactly on Min: the clamping branch
        {5, 0, 1000, 1, 10, 33, 0, 2},
        {500, 0, 1000, 1, 10, 34, 510, 2},
        {990, 0, 1000, 1, 10, 34, 1000, 2},
        {995, 0, 1000, 1, 10, 34, 1000, 2},
        {500, 0, 1000, 1, 10, 37, 499, 2},
        {0, 0, 1000, 1, 10, 37, 0, 2},
        {500, 0, 1000, 1, 10, 39, 501, 2},
        {999, 0, 1000, 1, 10, 39, 1000, 2},
        {500, 0, 1000, 0, 0, 33, 500, 2},
        {500, 0, 1000, 0, 0, 34, 500, 2},
        {500, 0, 1000, 0, 0, 37, 500, 2},
        {500, 0, 1000, 0, 0, 39, 500, 2},
        {500, 0, 1000, 1, -10, 33, 510, 2},  // a negative step runs the other way
        {800, 0, 500, 1, 10, 33, 500, 2},    // above a lowered Max: the write clamps
        {500, 0, 1000, 1, 10, 36, 500, 1},   // Home
        {500, 0, 1000, 1, 10, 35, 500, 1},   // End
        {500, 0, 1000, 1, 10, 38, 500, 1},   // Up
        {500, 0, 1000, 1, 10, 40, 500, 1},   // Down
        {500, 0, 1000, 1, 10, 65, 500, 1},
        // The step's arithmetic overflows: it is abandoned, the rest still runs.
        {kIntMin + 5, kIntMin, 1000, 1, 10, 33, kIntMin + 5, 1},
        {kIntMax - 1, 0, kIntMax, 5, 10, 39, kIntMax - 1, 1},
        {0, kIntMin, kIntMax, kIntMin, 10, 37, 0, 1},
    };
    for (const auto& c : cases) {
        SliderModel model(SliderSkin::SeekSkin);
        model.RestoreValues({c.value, c.min, c.smallChange, c.largeChange, true, c.max, 10, 0, 0});
        Recorder recorder(model);
        model.HandleKeyDown(c.key, 2);
        EXPECT_EQ(model.Value(), c.expected) << c.value << " key " << c.key;
        QStringList expected;
        for (int i = 0; i < c.paints; ++i) {
            expected << QStringLiteral("Paint");
        }
        expected << QStringLiteral("KeyDown %1 2 v=%2").arg(c.key).arg(c.expected);
        EXPECT_EQ(recorder.Take(), expected) << c.value << " key " << c.key;
    }
}

TEST(SliderModelTest, CharactersAndKeyReleasesOnlyRaiseTheirEvents) {
    SliderModel model(SliderSkin::SeekSkin);
    model.SetValue(500);
    Recorder recorder(model);
    model.HandleKeyPress('a');
    model.HandleKeyUp(37, 1);
    model.HandleDblClick();
    EXPECT_EQ(recorder.Take(), (QStringList{"KeyPress 97", "KeyUp 37 1 v=500", "DblClick v=500"}));
    EXPECT_EQ(model.Value(), 500);
}

// A click sets Value from the x of the last primary release: the thumb's centre range
// ThumbHalfWidth .. ThumbHalfWidth + TrackLength maps onto 0..Max, whatever Min is.
TEST(SliderModelTest, ClickMapsTheReleaseXOntoTheScale) {
    const struct {
        std::int32_t width;
        std::int32_t min;
        std::int32_t max;
        float x;
        std::int32_t expected;
    } cases[] = {
        {3525, 0, 1000, 120, 0},
        {3525, 0, 1000, 0, 0},
        {3525, 0, 1000, -500, 0},
        {3525, 0, 1000, 3405, 1000},
        {3525, 0, 1000, 9000, 1000},
        {3520, 0, 1000, 1760, 500},  // exactly in the middle
        {3520, 0, 1001, 1760, 500},  // 500.5 goes to even
        {3520, 0, 1003, 1760, 502},  // 501.5 goes to even
        // Max = TrackLength maps x − ThumbHalfWidth straight onto the scale; the release x
        // is rounded first, halves to even.
        {3520, 0, 3280, 1762.4f, 1642},
        {3520, 0, 3280, 1762.5f, 1642},
        {3520, 0, 3280, 1763.5f, 1644},
        {3525, 100, 1000, 400, 100},  // below Min on the scale
        {3525, 100, 1000, 1762, 500},
        {3525, 0, 0, 2000, 0},    // Max 0: every position maps to 0
        {3525, 3, 0, 2000, 3},    // ... which is below Min, and Min wins over Max
        {240, 0, 1000, 2000, 0},  // no track: the division fails and gives 0
        {3525, 0, kIntMax, 3404, 2146829923},
    };
    for (const auto& c : cases) {
        SliderModel model(SliderSkin::SeekSkin);
        PlaceSeekSlider(model, c.width);
        model.SetMin(c.min);
        model.SetMax(c.max);
        model.SetValue(c.max);
        Recorder recorder(model);
        model.HandleMouseDown(1, 0, c.x, 90);
        model.HandleMouseUp(1, 0, c.x, 90);
        model.HandleClick();
        EXPECT_EQ(model.Value(), c.expected) << c.width << " " << c.max << " at " << c.x;
        const QStringList events = recorder.Take();
        ASSERT_FALSE(events.isEmpty());
        EXPECT_EQ(events.last(), QStringLiteral("Click v=%1").arg(c.expected));
    }
}

TEST(SliderModelTest, ClickAndDragRaiseTheirEventsInOrder) {
    SliderModel model(SliderSkin::SeekSkin);
    PlaceSeekSlider(model, 3520);  // TrackLength 3280: x 120 + 3.28 × v
    model.SetValue(0);
    Recorder recorder(model);

    model.HandleMouseDown(1, 0, 448, 90);
    EXPECT_TRUE(model.Dragging());
    model.HandleMouseMove(1, 1, 776, 90);
    model.HandleMouseUp(1, 0, 1104, 90);
    EXPECT_FALSE(model.Dragging());
    EXPECT_EQ(model.LastUpX(), 1104);
    model.HandleClick();
    EXPECT_EQ(recorder.Take(), (QStringList{
                                   "MouseDown 1 0 448,90 v=0",
                                   "Paint",
                                   "Paint",
                                   "MouseMove 1 1 776,90 v=200",
                                   // the host's MouseUp sees the value the drag left
                                   "MouseUp 1 0 1104,90 v=200",
                                   "Paint",
                                   "Paint",
                                   "Click v=300",
                               }));

    // Moves with no button held and no press before them only raise the event.
    model.HandleMouseMove(0, 0, 2000, 90);
    EXPECT_EQ(recorder.Take(), QStringList{"MouseMove 0 0 2000,90 v=300"});
}

TEST(SliderModelTest, SecondaryButtonMovesAreIgnoredButItsPressStartsADrag) {
    SliderModel model(SliderSkin::SeekSkin);
    PlaceSeekSlider(model, 3520);
    model.SetValue(0);
    Recorder recorder(model);
    model.HandleMouseDown(1, 0, 776, 90);
    model.HandleMouseUp(1, 0, 776, 90);  // LastUpX 776
    model.HandleClick();
    recorder.Take();

    const struct {
        int buttons;
        float x;
        std::int32_t expected;
        bool raised;
    } moves[] = {
        {2, 3400, 200, false},  // exactly the secondary button: nothing at all
        {4, 1432, 400, true},   // middle
        {2 | 4, 1760, 500, true},
        {0, 2088, 600, true},  // a release never received leaves the drag on
    };
    model.HandleMouseDown(2, 0, 3400, 90);
    EXPECT_EQ(recorder.Take(), QStringList{"MouseDown 2 0 3400,90 v=200"});
    for (const auto& move : moves) {
        model.HandleMouseMove(move.buttons, 0, move.x, 90);
        EXPECT_EQ(model.Value(), move.expected) << move.buttons;
        const QStringList events = recorder.Take();
        EXPECT_EQ(events.contains(QStringLiteral("MouseMove %1 0 %2,90 v=%3")
                                      .arg(move.buttons)
                                      .arg(move.x)
                                      .arg(move.expected)),
                  move.raised)
            << events.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(events.isEmpty(), !move.raised);
    }

    // Releasing the secondary button ends the drag but keeps the last primary release x,
    // so the click that follows goes back to it.
    model.HandleMouseUp(2, 0, 3000, 90);
    EXPECT_FALSE(model.Dragging());
    EXPECT_EQ(model.LastUpX(), 776);
    model.HandleClick();
    EXPECT_EQ(model.Value(), 200);
}

TEST(SliderModelTest, UnroundablePointerPositions) {
    const struct {
        float x;
        std::int32_t valueAfterDrag;
    } cases[] = {
        {3.0e9f, 1000},
        {-3.0e9f, 0},
        {std::numeric_limits<float>::infinity(), 1000},
        {std::nanf(""), 300},  // no comparison holds and no rounding: nothing is set
    };
    for (const auto& c : cases) {
        SliderModel model(SliderSkin::SeekSkin);
        PlaceSeekSlider(model);
        model.SetValue(300);
        model.HandleMouseUp(1, 0, 1762, 0);
        model.HandleMouseUp(1, 0, c.x, 0);
        EXPECT_EQ(model.LastUpX(), 1762) << c.x;  // the rounding fails: the step is skipped
        model.HandleMouseDown(1, 0, c.x, 0);
        Recorder recorder(model);
        model.HandleMouseMove(1, 0, c.x, 0);
        EXPECT_EQ(model.Value(), c.valueAfterDrag) << c.x;
        EXPECT_EQ(recorder.Take().size(), c.valueAfterDrag == 300 ? 2 : 3) << c.x;
    }
}

TEST(SliderModelTest, PaintRecordsThumbLeftAndKeepsItWhenTheDivisionFails) {
    SliderModel model(SliderSkin::SeekSkin);
    PlaceSeekSlider(model);
    model.SetValue(500);
    EXPECT_EQ(model.BeginPaint().ThumbLeft, 1642);
    EXPECT_EQ(model.ThumbLeft(), 1642);
    // Max 0 with Min < Value < Max: the thumb stays where the last paint put it.
    model.RestoreValues({-5, -10, 1, 10, true, 0, 10, 0, 0});
    EXPECT_EQ(model.BeginPaint().ThumbLeft, 1642);
    model.RestoreValues({1000, 0, 1, 10, true, 1000, 10, 0, 0});
    EXPECT_EQ(model.BeginPaint().ThumbLeft, 3285);
}

}  // namespace
}  // namespace ostrel
