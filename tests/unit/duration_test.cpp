#include "common/duration.h"

#include <gtest/gtest.h>

#include "qt_printers.h"

#include <cmath>
#include <limits>

namespace ostrel {
namespace {

TEST(FormatDurationTest, RoundsOnceThenSplits) {
    const struct {
        double seconds;
        const char* expected;
    } cases[] = {
        {0.0, "00:00:00"},          {-5.0, "00:00:00"},
        {std::nan(""), "00:00:00"}, {0.4, "00:00:00"},
        {0.5, "00:00:01"},          {59.4, "00:00:59"},
        {59.5, "00:01:00"},  // one rounding: never "00:00:60"
        {61.0, "00:01:01"},         {119.5, "00:02:00"},
        {119.6, "00:02:00"},        {120.5, "00:02:00"},  // halves to even from a minute on
        {121.5, "00:02:02"},        {3599.6, "01:00:00"},
        {3600.0, "01:00:00"},       {3661.0, "01:01:01"},
        {360000.0, "100:00:00"},    {-std::numeric_limits<double>::infinity(), "00:00:00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatDuration(c.seconds), QString::fromLatin1(c.expected)) << c.seconds;
    }
}

TEST(Int64HelpersTest, HalvesCombineAsTwosComplement) {
    const struct {
        std::int32_t low;
        std::int32_t high;
        std::int64_t value;
        bool positive;
    } cases[] = {
        {0, 0, 0, false},
        {1, 0, 1, true},
        {0, 1, 4294967296LL, true},
        {-1, 0, 4294967295LL, true},  // the low half is unsigned
        {5, -1, -4294967291LL, false},
        {-1, -1, -1, false},
        {0, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int64_t>::min(),
         false},
        {-1, std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int64_t>::max(),
         true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MakeInt64(c.low, c.high), c.value) << c.low << " " << c.high;
        EXPECT_EQ(Int64IsPositive(c.low, c.high), c.positive) << c.low << " " << c.high;
        Int64Pair pair;
        SplitInt64(pair, c.value);
        EXPECT_EQ(pair.Low, c.low);
        EXPECT_EQ(pair.High, c.high);
        EXPECT_EQ(MakeInt64(pair), c.value);
    }
}

TEST(Int64HelpersTest, MicrosecondsToSeconds) {
    EXPECT_DOUBLE_EQ(MicrosecondsToSeconds(1500000, 0), 1.5);
    EXPECT_DOUBLE_EQ(MicrosecondsToSeconds(0, 1), 4294.967296);
    EXPECT_DOUBLE_EQ(MicrosecondsToSeconds(Int64Pair{30400000, 0}), 30.4);
    const double smallest = MicrosecondsToSeconds(0, std::numeric_limits<std::int32_t>::min());
    EXPECT_LT(smallest, -9.2e12);
    EXPECT_EQ(FormatDuration(smallest), QStringLiteral("00:00:00"));
}

}  // namespace
}  // namespace ostrel
