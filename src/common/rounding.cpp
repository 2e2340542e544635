#include "common/rounding.h"

#include <cmath>
#include <limits>

namespace ostrel {

std::optional<std::int64_t> RoundHalfEven(double value) {
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    // nearbyint uses the current rounding mode, which is round-to-nearest-even by default.
    const double rounded = std::nearbyint(value);
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    constexpr double kLimit = 9223372036854775808.0;
    if (rounded >= kLimit || rounded < -kLimit) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(rounded);
}

std::optional<std::int32_t> RoundHalfEvenToInt32(double value) {
    const std::optional<std::int64_t> rounded = RoundHalfEven(value);
    if (!rounded || *rounded > std::numeric_limits<std::int32_t>::max() ||
        *rounded < std::numeric_limits<std::int32_t>::min()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(*rounded);
}

int TwipsToPixels(double twips) {
    return RoundHalfEvenToInt32(twips / kTwipsPerPixel).value_or(0);
}

}  // namespace ostrel
