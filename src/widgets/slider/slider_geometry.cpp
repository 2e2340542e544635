#include "widgets/slider/slider_geometry.h"

#include <algorithm>

#include "common/rounding.h"

namespace ostrel {

SliderSkinSize SkinSize(SliderSkin skin) {
    switch (skin) {
        case SliderSkin::SeekSkin:
            return {409, 11, 16, 11};
        case SliderSkin::VolumeSkin:
            return {67, 15, 12, 15};
    }
    return {};
}

namespace {

std::vector<std::int32_t> TickPositions(const SliderPaintInput& in) {
    std::int32_t spacing = 0;
    if (in.Values.TickNumber != 0) {
        spacing = RoundHalfEvenToInt32(static_cast<double>(in.TrackLength) / in.Values.TickNumber)
                      .value_or(0);
    }
    // A mark within a pixel of the surface may still colour its edge column.
    const std::int64_t lowest = -kTwipsPerPixel;
    const std::int64_t highest = std::int64_t{in.SurfaceWidth} + kTwipsPerPixel;
    std::vector<std::int32_t> ticks;
    for (std::int64_t i = 0; i <= in.Values.TickNumber; ++i) {
        const std::optional<std::int32_t> offset =
            CheckedMul32(spacing, static_cast<std::int32_t>(i));
        const std::optional<std::int32_t> x =
            offset ? CheckedAdd32(in.ThumbHalfWidth, *offset) : std::nullopt;
        if (!x) {
            break;  // this mark and every later one lie further out than 32 bits reach
        }
        if (*x >= lowest && *x <= highest) {
            ticks.push_back(*x);
        }
        // Later marks repeat this one, or only move further off the surface.
        if (spacing == 0 || (spacing > 0 && *x > highest) || (spacing < 0 && *x < lowest)) {
            break;
        }
    }
    return ticks;
}

std::optional<double> FillWidth(const SliderPaintInput& in) {
    if (in.Values.Max == 0) {
        return std::nullopt;
    }
    const std::optional<std::int32_t> room = CheckedSub32(in.Values.Max, in.Values.SelStart);
    if (!room || *room < in.Values.SelLength) {
        return std::nullopt;
    }
    return static_cast<double>(in.Values.SelLength) / in.Values.Max * in.TrackLength;
}

std::int32_t ThumbLeft(const SliderPaintInput& in) {
    if (in.Values.Value <= in.Values.Min) {
        return 0;
    }
    if (in.Values.Value >= in.Values.Max) {
        return in.TrackLength;
    }
    if (in.Values.Max == 0) {
        return in.PreviousThumbLeft;
    }
    return RoundHalfEvenToInt32(static_cast<double>(in.Values.Value) / in.Values.Max *
                                in.TrackLength)
        .value_or(in.PreviousThumbLeft);
}

}  // namespace

SliderPaintPlan PlanSliderPaint(const SliderPaintInput& in) {
    SliderPaintPlan plan;
    constexpr std::int32_t kCap = kSliderCapWidthTwips;
    plan.Track = {{
        {kCap, kCap, kCap, std::max(in.SurfaceWidth - 2 * kCap, 0)},
        {0, kCap, 0, kCap},
        {in.StripWidth - kCap, kCap, in.SurfaceWidth - kCap, kCap},
    }};
    if (in.Values.ShowTicks) {
        plan.Ticks = TickPositions(in);
    }
    plan.TickTop = in.SurfaceHeight - kSliderTickHeightTwips;
    plan.TickBottom = in.SurfaceHeight;
    plan.FillWidth = FillWidth(in);
    plan.ThumbLeft = ThumbLeft(in);
    return plan;
}

}  // namespace ostrel
