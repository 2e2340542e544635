#include "player/player_layout.h"

#include <gtest/gtest.h>

#include "qt_printers.h"

namespace ostrel {
namespace {

TEST(PlayerLayoutTest, NineStepsInTwipsAndPixels) {
    const struct {
        int width;
        int height;
        QRect video;
        int labelLeftTwips;
        int volumeTop;
        int volumeLeft;
        int muteLeftTwips;
        int seekTop;
        int seekWidth;
    } cases[] = {
        // The design size: the label 7740 − 1575 − 150 twips from the left, the toggle 75 twips
        // left of the volume slider, the seek slider from the button's right edge + 10 px.
        {516, 347, {0, 0, 516, 315}, 6015, 324, 319, 4410, 326, 233},
        {800, 600, {0, 0, 800, 568}, 10275, 577, 603, 8670, 579, 517},
        {1920, 1048, {0, 0, 1920, 1016}, 27075, 1025, 1723, 25470, 1027, 1637},
        // The narrowest width that still lays the seek slider out: zero pixels.
        {283, 200, {0, 0, 283, 168}, 2520, 177, 86, 915, 179, 0},
    };
    for (const auto& c : cases) {
        const PlayerLayout layout = LayOutPlayer(c.width, c.height, {});
        EXPECT_EQ(layout.StepsDone, 9) << c.width;
        EXPECT_EQ(layout.VideoArea, c.video) << c.width;
        EXPECT_EQ(layout.BarTopPx, c.height - 32) << c.width;
        EXPECT_EQ(layout.BarWidthPx, c.width) << c.width;
        EXPECT_EQ(layout.LabelLeftTwips, c.labelLeftTwips) << c.width;
        EXPECT_EQ(layout.VolumeTopPx, c.volumeTop) << c.width;
        EXPECT_EQ(layout.VolumeLeftPx, c.volumeLeft) << c.width;
        EXPECT_EQ(layout.MuteLeftTwips, c.muteLeftTwips) << c.width;
        EXPECT_EQ(layout.SeekTopPx, c.seekTop) << c.width;
        EXPECT_EQ(layout.SeekLeftPx, 51) << c.width;
        EXPECT_EQ(layout.SeekWidthPx, c.seekWidth) << c.width;
        // The gap between the toggle's right edge and the volume slider.
        EXPECT_EQ(layout.VolumeLeftPx * 15 - (layout.MuteLeftTwips + 300), 75) << c.width;
    }
    EXPECT_EQ(DesignPlayerLayout(), LayOutPlayer(516, 347, {}));
}

TEST(PlayerLayoutTest, TooSmallKeepsTheLastGoodSeekWidth) {
    const PlayerLayout design = DesignPlayerLayout();
    const struct {
        int width;
        int height;
    } cases[] = {{282, 347}, {200, 100}, {0, 0}, {-5, 10}};
    for (const auto& c : cases) {
        const PlayerLayout small = LayOutPlayer(c.width, c.height, design);
        // Steps 1 to 7 ran; the width step failed, so neither it nor the refresh ran.
        EXPECT_EQ(small.StepsDone, 7) << c.width;
        EXPECT_EQ(small.SeekWidthPx, 233) << c.width;
        EXPECT_EQ(small.SeekTopPx, c.height - 32 + 11) << c.width;
        EXPECT_EQ(small.LabelLeftTwips, std::max(0, c.width) * 15 - 1725) << c.width;
        EXPECT_GE(small.VideoArea.height(), 0) << c.width;
        EXPECT_GE(small.VideoArea.width(), 0) << c.width;
        // Growing again lays everything out.
        EXPECT_EQ(LayOutPlayer(516, 347, small), design) << c.width;
    }
    // The window's minimum size keeps a usable seek slider.
    const PlayerLayout smallest =
        LayOutPlayer(PlayerDesign::kMinClientWidthPx, PlayerDesign::kMinClientHeightPx, {});
    EXPECT_EQ(smallest.StepsDone, 9);
    EXPECT_EQ(smallest.SeekWidthPx, 40);
    EXPECT_GT(smallest.VideoArea.height(), 0);
}

}  // namespace
}  // namespace ostrel
