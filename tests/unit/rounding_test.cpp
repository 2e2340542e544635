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

TEST(RoundingTest, CheckedInt32ArithmeticReportsOverflow) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    const struct {
        std::int32_t a;
        std::int32_t b;
        std::optional<std::int32_t> sum;
        std::optional<std::int32_t> difference;
        std::optional<std::int32_t> product;
    } cases[] = {
        {3285, 10, 3295, 3275, 32850},
        {kMax, 1, std::nullopt, kMax - 1, kMax},
        {kMin, 1, kMin + 1, std::nullopt, kMin},
        {kMin, -1, std::nullopt, kMin + 1, std::nullopt},
        {0, kMin, kMin, std::nullopt, 0},
        {65536, 32768, 98304, 32768, std::nullopt},
        {-46341, 46341, 0, -92682, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CheckedAdd32(c.a, c.b), c.sum) << c.a << " + " << c.b;
        EXPECT_EQ(CheckedSub32(c.a, c.b), c.difference) << c.a << " - " << c.b;
        EXPECT_EQ(CheckedMul32(c.a, c.b), c.product) << c.a << " * " << c.b;
    }
}

}  // namespace
}  // namespace ostrel
