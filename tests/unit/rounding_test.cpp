#include "common/rounding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace ostrel {
namespace {

TEST(RoundingTest, HalvesGoToEvenAndOverflowIsReported) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double value;
        std::optional<std::int64_t> to64;
        std::optional<std::int32_t> to32;
    } cases[] = {
        {0.5, 0, 0},
        {1.5, 2, 2},
        {2.5, 2, 2},
        {-2.5, -2, -2},
        {2.4999, 2, 2},
        {1642.5, 1642, 1642},
        {2147483647.4, 2147483647, 2147483647},
        {2147483647.5, 2147483648LL, std::nullopt},  // rounds up past the 32-bit range
        {-2147483648.5, -2147483648LL, std::int32_t{-2147483647 - 1}},
        {-2147483649.0, -2147483649LL, std::nullopt},
        {9.3e18, std::nullopt, std::nullopt},
        {std::nan(""), std::nullopt, std::nullopt},
        {inf, std::nullopt, std::nullopt},
        {-inf, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RoundHalfEven(c.value), c.to64) << c.value;
        EXPECT_EQ(RoundHalfEvenToInt32(c.value), c.to32) << c.value;
    }
}

TEST(RoundingTest, TwipsAndPixels) {
    const struct {
        double twips;
        int pixels;
    } cases[] = {{0, 0}, {15, 1}, {3525, 235}, {337.5, 22}, {352.5, 24}, {-15, -1}, {7, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(TwipsToPixels(c.twips), c.pixels) << c.twips;
    }
    EXPECT_EQ(PixelsToTwips(235), 3525);
}

}  // namespace
}  // namespace ostrel
