#include "common/decimal_text.h"

#include <gtest/gtest.h>

#include <QString>

namespace ostrel {
namespace {

TEST(DecimalTextTest, OnlyPlainDecimalsCount) {
    const struct {
        const char* text;
        qsizetype prefix;
        std::optional<double> whole;
        double leading;
    } cases[] = {
        {"25", 2, 25.0, 25.0},
        {"-12.5", 5, -12.5, -12.5},
        {"+.5", 3, 0.5, 0.5},
        {"12.5.3", 4, std::nullopt, 12.5},
        {"640 x 480", 3, std::nullopt, 640.0},
        {"1e3", 1, std::nullopt, 1.0},
        {"inf", 0, std::nullopt, 0.0},
        {"0x10", 1, std::nullopt, 0.0},
        {"1,000", 1, std::nullopt, 1.0},
        {"-", 0, std::nullopt, 0.0},
        {".", 0, std::nullopt, 0.0},
        {"", 0, std::nullopt, 0.0},
        {" \t42", 0, std::nullopt, 42.0},  // blanks are skipped only by the leading reading
        {"٣", 0, std::nullopt, 0.0},       // other scripts' digits are not digits here
    };
    for (const auto& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        EXPECT_EQ(DecimalPrefixLength(text), c.prefix) << c.text;
        EXPECT_EQ(ParseDecimal(text), c.whole) << c.text;
        EXPECT_EQ(LeadingNumberValue(text), c.leading) << c.text;
    }
}

}  // namespace
}  // namespace ostrel
