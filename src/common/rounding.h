// Rounding and screen-unit helpers shared by the option builder, the slider and the player.
// Every conversion from a floating-point number to an integer rounds to the nearest integer
// with halves to even.
#pragma once

#include <cstdint>
#include <optional>

namespace ostrel {

// Nearest integer, halves to even (2.5 → 2, 3.5 → 4, −2.5 → −2). NaN and values outside the
// 64-bit range give nullopt.
std::optional<std::int64_t> RoundHalfEven(double value);

// As above, but nullopt also when the result does not fit in 32 bits. Callers that follow
// 32-bit arithmetic abandon the step on nullopt instead of wrapping around.
std::optional<std::int32_t> RoundHalfEvenToInt32(double value);

// Window geometry is kept in twips (1/1440 inch); 15 twips make one pixel at 96 dots per inch.
// Qt scales pixels for high-DPI screens on top of this.
inline constexpr int kTwipsPerPixel = 15;

// Twips to pixels, rounded halves to even (22.5 px → 22).
int TwipsToPixels(double twips);
constexpr int PixelsToTwips(int pixels) {
    return pixels * kTwipsPerPixel;
}

// 32-bit integer arithmetic that reports overflow as nullopt instead of wrapping around, for
// the steps that are abandoned when their arithmetic does not fit.
constexpr std::optional<std::int32_t> CheckedAdd32(std::int32_t a, std::int32_t b) {
    std::int32_t result = 0;
    if (__builtin_add_overflow(a, b, &result)) {
        return std::nullopt;
    }
    return result;
}
constexpr std::optional<std::int32_t> CheckedSub32(std::int32_t a, std::int32_t b) {
    std::int32_t result = 0;
    if (__builtin_sub_overflow(a, b, &result)) {
        return std::nullopt;
    }
    return result;
}
constexpr std::optional<std::int32_t> CheckedMul32(std::int32_t a, std::int32_t b) {
    std::int32_t result = 0;
    if (__builtin_mul_overflow(a, b, &result)) {
        return std::nullopt;
    }
    return result;
}

}  // namespace ostrel
