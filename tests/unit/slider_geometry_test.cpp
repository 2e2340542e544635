#include "widgets/slider/slider_geometry.h"

#include <gtest/gtest.h>

#include <limits>

namespace ostrel {
namespace {

constexpr std::int32_t kIntMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kIntMin = std::numeric_limits<std::int32_t>::min();

// The seek slider of the player window: 3525 × 180 twips, TrackLength 3285.
SliderPaintInput SeekInput() {
    SliderPaintInput in;
    in.Values.Value = 500;
    in.Values.Min = 0;
    in.Values.Max = 1000;
    in.Values.ShowTicks = true;
    in.Values.TickNumber = 10;
    in.ThumbHalfWidth = 120;
    in.TrackLength = 3285;
    in.SurfaceWidth = 3525;
    in.SurfaceHeight = 180;
    in.StripWidth = 6135;
    return in;
}

TEST(SliderGeometryTest, SkinSizes) {
    EXPECT_EQ(SkinSize(SliderSkin::SeekSkin).StripWidth, 409);
    EXPECT_EQ(SkinSize(SliderSkin::SeekSkin).StripHeight, 11);
    EXPECT_EQ(SkinSize(SliderSkin::SeekSkin).ThumbWidth, 16);
    EXPECT_EQ(SkinSize(SliderSkin::SeekSkin).ThumbHeight, 11);
    EXPECT_EQ(SkinSize(SliderSkin::VolumeSkin).StripWidth, 67);
    EXPECT_EQ(SkinSize(SliderSkin::VolumeSkin).StripHeight, 15);
    EXPECT_EQ(SkinSize(SliderSkin::VolumeSkin).ThumbWidth, 12);
    EXPECT_EQ(SkinSize(SliderSkin::VolumeSkin).ThumbHeight, 15);
}

TEST(SliderGeometryTest, TrackIsThreeSlices) {
    const struct {
        std::int32_t width;
        std::int32_t strip;
        std::array<TrackSlice, 3> track;
    } cases[] = {
        {3525, 6135, {{{100, 100, 100, 3325}, {0, 100, 0, 100}, {6035, 100, 3425, 100}}}},
        {1080, 1005, {{{100, 100, 100, 880}, {0, 100, 0, 100}, {905, 100, 980, 100}}}},
        // Narrower than both caps: the right one overlaps the left.
        {150, 6135, {{{100, 100, 100, 0}, {0, 100, 0, 100}, {6035, 100, 50, 100}}}},
    };
    for (const auto& c : cases) {
        SliderPaintInput in = SeekInput();
        in.SurfaceWidth = c.width;
        in.StripWidth = c.strip;
        EXPECT_EQ(PlanSliderPaint(in).Track, c.track) << c.width;
    }
}

TEST(SliderGeometryTest, ThumbLeft) {
    const struct {
        std::int32_t value;
        std::int32_t min;
        std::int32_t max;
        std::int32_t thumbLeft;
    } cases[] = {
        {500, 0, 1000, 1642},  // 1642.5 goes to even
        {0, 0, 1000, 0},
        {1000, 0, 1000, 3285},
        {1, 0, 1000, 3},
        {5000, 0, 1000, 3285},  // above a lowered Max: at the right end, never beyond
        {-3, 0, 1000, 0},
        {7, 10, 5, 0},                  // Value ≤ Min comes first
        {500, 100, 1000, 1642},         // the mapping ignores Min
        {-5, -10, 0, 77},               // Max 0 as divisor: the previous position stays
        {-2000000000, kIntMin, 1, 77},  // the product leaves 32 bits: likewise
        {-500, -1000, 1000, -1642},
    };
    for (const auto& c : cases) {
        SliderPaintInput in = SeekInput();
        in.Values.Value = c.value;
        in.Values.Min = c.min;
        in.Values.Max = c.max;
        in.PreviousThumbLeft = 77;
        EXPECT_EQ(PlanSliderPaint(in).ThumbLeft, c.thumbLeft) << c.value << " of " << c.max;
    }
}

TEST(SliderGeometryTest, TickMarks) {
    SliderPaintInput in = SeekInput();
    const SliderPaintPlan plan = PlanSliderPaint(in);
    ASSERT_EQ(plan.Ticks.size(), 11u);
    for (std::size_t i = 0; i < plan.Ticks.size(); ++i) {
        EXPECT_EQ(plan.Ticks[i], 120 + 328 * static_cast<std::int32_t>(i));
    }
    EXPECT_EQ(plan.Ticks.back(), 120 + 3280);  // 5 twips short of the track's end
    EXPECT_EQ(plan.TickTop, 80);
    EXPECT_EQ(plan.TickBottom, 180);

    const struct {
        bool show;
        std::int32_t count;
        std::int32_t trackLength;
        std::int32_t width;
        std::vector<std::int32_t> ticks;
    } cases[] = {
        {false, 10, 3285, 3525, {}},
        {true, 0, 3285, 3525, {120}},  // the division fails: one mark
        {true, -4, 3285, 3525, {}},
        {true, 1, 3285, 3525, {120, 3405}},
        {true, 3, 3285, 3525, {120, 1215, 2310, 3405}},
        {true, 10000, 3285, 3525, {120}},  // spacing rounds to 0: the marks coincide
        {true, kIntMax, 3285, 3525, {120}},
        // A surface narrower than the thumb: the marks run left from the thumb's centre,
        // and those beyond the surface are left out.
        {true, 2, -140, 100, {50}},
        // The second mark's x does not fit in 32 bits.
        {true, 1, kIntMax, kIntMax, {120}},
    };
    for (const auto& c : cases) {
        in.Values.ShowTicks = c.show;
        in.Values.TickNumber = c.count;
        in.TrackLength = c.trackLength;
        in.SurfaceWidth = c.width;
        EXPECT_EQ(PlanSliderPaint(in).Ticks, c.ticks) << c.count;
    }

    // Dense marks stop a pixel past the surface's right edge.
    in = SeekInput();
    in.Values.TickNumber = 2000;  // spacing 2
    const std::vector<std::int32_t> dense = PlanSliderPaint(in).Ticks;
    ASSERT_EQ(dense.size(), 1711u);
    EXPECT_EQ(dense[1], 122);
    EXPECT_EQ(dense.back(), 3540);
}

TEST(SliderGeometryTest, FillNeedsRoomAfterSelStart) {
    const struct {
        std::int32_t max;
        std::int32_t selStart;
        std::int32_t selLength;
        std::optional<double> width;
    } cases[] = {
        {1000, 0, 500, 1642.5},
        {1000, 0, 1000, 3285.0},  // equality still fills
        {1000, 0, 0, 0.0},
        {1000, 500, 500, 1642.5},  // SelStart only decides whether there is a fill
        {1000, 501, 500, std::nullopt},
        {1000, 0, 1001, std::nullopt},
        {1000, -1000, 2000, 6570.0},
        {0, 0, 0, std::nullopt},            // Max 0 as divisor
        {1000, kIntMin, 10, std::nullopt},  // Max − SelStart leaves 32 bits
        {1000, 0, -100, -328.5},
    };
    for (const auto& c : cases) {
        SliderPaintInput in = SeekInput();
        in.Values.Max = c.max;
        in.Values.SelStart = c.selStart;
        in.Values.SelLength = c.selLength;
        EXPECT_EQ(PlanSliderPaint(in).FillWidth, c.width) << c.selStart << "+" << c.selLength;
    }
}

}  // namespace
}  // namespace ostrel
