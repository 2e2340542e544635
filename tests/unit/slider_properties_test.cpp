#include "widgets/slider/slider_properties.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <limits>

#include "qt_printers.h"

namespace ostrel {
namespace {

const QString kAmbient = QStringLiteral("Tahoma,9,-1,5,400,0,0,0,0,0,0,0,0,0,0,1");

TEST(SliderPropertiesTest, DefaultsLeaveOnlyTheAlwaysWrittenKeys) {
    SliderDesign design;
    design.Font = kAmbient;
    const QVariantMap bag = WriteSliderBag(design);
    EXPECT_EQ(bag.keys(), (QStringList{"backcolor", "font"}));
    EXPECT_EQ(bag.value("backcolor").toUInt(), kSystemButtonFace);
    EXPECT_EQ(bag.value("font").toString(), kAmbient);
}

TEST(SliderPropertiesTest, EveryPropertyRoundTripsUnderItsLowerCaseKey) {
    SliderDesign seek;  // the player's seek slider
    seek.BackColor = 0xF0F0F0;
    seek.Font = kAmbient;
    seek.Values.ShowTicks = false;
    seek.Values.SmallChange = 0;
    seek.Values.LargeChange = 0;
    seek.SizeTwips = QSize(3525, 180);

    SliderDesign odd;  // every key away from its default, bounds crossed
    odd.BackColor = 0x80000005;
    odd.ForeColor = 0x0000FF;
    odd.Enabled = false;
    odd.Font = QStringLiteral("Sans Serif,12,-1,5,700,1,0,0,0,0,0,0,0,0,0,1");
    odd.BackStyle = 0;
    odd.BorderStyle = 1;
    odd.Values = {5000, 10, -1, 250, false, 5, 0, -7, 2147483647};

    const struct {
        const char* name;
        SliderDesign design;
        QStringList keys;
    } cases[] = {
        {"seek",
         seek,
         {"_extentx", "_extenty", "backcolor", "font", "largechange", "showticks", "smallchange"}},
        {"odd",
         odd,
         {"backcolor", "backstyle", "borderstyle", "enabled", "font", "forecolor", "largechange",
          "max", "min", "sellength", "selstart", "showticks", "smallchange", "ticknumber",
          "value"}},
    };
    for (const auto& c : cases) {
        const QVariantMap bag = WriteSliderBag(c.design);
        EXPECT_EQ(bag.keys(), c.keys) << c.name;
        // Read values are taken as stored: Value 5000 stays above Max 5.
        EXPECT_EQ(ReadSliderBag(bag, kAmbient), c.design) << c.name;
    }
    EXPECT_EQ(WriteSliderBag(seek).value("_extentx").toInt(), 6218);
    EXPECT_EQ(WriteSliderBag(seek).value("_extenty").toInt(), 318);
}

TEST(SliderPropertiesTest, ReadingIgnoresCaseAndFillsInDefaults) {
    const QVariantMap bag{
        {"ShowTicks", false},       {"SMALLCHANGE", 0},    {"LargeChange", "0"},
        {"Max", "not a number"},    {"min", 4294967296LL}, {"BackStyle", 70000},
        {"ForeColor", -2147483630}, {"_ExtentX", 1905},    {"_extenty", 344},
    };
    const SliderDesign design = ReadSliderBag(bag, kAmbient);
    EXPECT_EQ(design.BackColor, 0xF2DED5u);  // no "BackColor": red 213, green 222, blue 242
    EXPECT_EQ(design.Font, kAmbient);
    EXPECT_FALSE(design.Values.ShowTicks);
    EXPECT_EQ(design.Values.SmallChange, 0);
    EXPECT_EQ(design.Values.LargeChange, 0);
    EXPECT_EQ(design.Values.Max, 1000);        // unreadable: the default
    EXPECT_EQ(design.Values.Min, 0);           // beyond 32 bits: the default
    EXPECT_EQ(design.BackStyle, 1);            // beyond 16 bits: the default
    EXPECT_EQ(design.ForeColor, 0x80000012u);  // kept signed, the same bits
    EXPECT_EQ(design.SizeTwips, QSize(1080, 195));
    EXPECT_EQ(design.Values.TickNumber, 10);
    EXPECT_TRUE(design.Enabled);

    EXPECT_EQ(ReadSliderBag({}, kAmbient).SizeTwips, QSize());
    EXPECT_EQ(ReadSliderBag({{"backcolor", 0}}, kAmbient).BackColor, 0u);
}

TEST(SliderPropertiesTest, TwipsAndHundredthsOfAMillimetre) {
    const struct {
        int twips;
        int himetric;
    } cases[] = {{3525, 6218}, {180, 318}, {1080, 1905}, {195, 344}, {1440, 2540}, {0, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(TwipsToHimetric(c.twips), c.himetric) << c.twips;
        EXPECT_EQ(HimetricToTwips(c.himetric), c.twips) << c.himetric;
    }
    EXPECT_EQ(TwipsToHimetric(std::numeric_limits<int>::max()), 0);  // does not fit
}

}  // namespace
}  // namespace ostrel
