// Where the slider's layers go: the three-slice track, the tick marks, the fill and the thumb,
// all in twips (15 twips per pixel at 96 dots per inch). The widget turns this plan into pixels.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "widgets/slider/slider_values.h"

namespace ostrel {

// The two looks of the slider. They behave alike and differ only in their images.
enum class SliderSkin { SeekSkin, VolumeSkin };

// Pixel sizes of a skin's images. The thumb, the disabled thumb and the fill share one size.
struct SliderSkinSize {
    int StripWidth = 0;  // the track strip: left cap, middle slice, right cap side by side
    int StripHeight = 0;
    int ThumbWidth = 0;
    int ThumbHeight = 0;
};
SliderSkinSize SkinSize(SliderSkin skin);

inline constexpr std::int32_t kSliderCapWidthTwips = 100;  // each end cap and the middle slice
inline constexpr std::int32_t kSliderTickHeightTwips = 100;
inline constexpr std::uint32_t kSliderTickColor = 0x787878;  // blue-green-red

// What one paint reads from the model.
struct SliderPaintInput {
    SliderValues Values;
    std::int32_t ThumbHalfWidth = 0;
    std::int32_t TrackLength = 0;
    std::int32_t SurfaceWidth = 0;  // twips, never negative
    std::int32_t SurfaceHeight = 0;
    std::int32_t StripWidth = 0;         // twips
    std::int32_t PreviousThumbLeft = 0;  // kept when the thumb's division fails
};

// One copy of part of the track strip onto the surface; heights stay the strip's own.
struct TrackSlice {
    std::int32_t SourceLeft = 0;
    std::int32_t SourceWidth = 0;
    std::int32_t DestLeft = 0;
    std::int32_t DestWidth = 0;
    bool operator==(const TrackSlice&) const = default;
};

struct SliderPaintPlan {
    // In drawing order: the middle slice stretched between the caps, then both caps. The
    // caps' rounded corners are transparent, so the middle is not drawn beneath them.
    std::array<TrackSlice, 3> Track;
    // The x of each tick mark; every mark runs from TickTop down to TickBottom.
    std::vector<std::int32_t> Ticks;
    std::int32_t TickTop = 0;
    std::int32_t TickBottom = 0;
    // Width of the fill from the left edge; nullopt when no fill is drawn.
    std::optional<double> FillWidth;
    std::int32_t ThumbLeft = 0;
};

// Lays out one paint. Steps whose 32-bit arithmetic overflows or whose division fails are
// left out (a zero TickNumber gives one mark, a zero Max no fill and the previous ThumbLeft).
// Marks that would fall wholly outside the surface, or on the previous mark, are not listed:
// drawing them changes no pixel, and a huge TickNumber must not stall the paint.
SliderPaintPlan PlanSliderPaint(const SliderPaintInput& input);

}  // namespace ostrel
