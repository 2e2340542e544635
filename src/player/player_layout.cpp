#include "player/player_layout.h"

#include <algorithm>

#include "common/rounding.h"

namespace ostrel {

PlayerLayout LayOutPlayer(int clientWidthPx, int clientHeightPx, const PlayerLayout& previous,
                          int volumeWidthPx) {
    using D = PlayerDesign;
    PlayerLayout layout = previous;
    layout.StepsDone = 0;

    // The bar is docked to the bottom at its own height; the video area takes what is above
    // it (docking never gives a negative size).
    layout.BarWidthPx = std::max(0, clientWidthPx);
    layout.BarTopPx = clientHeightPx - D::kBarHeightPx;
    layout.VideoArea = QRect(0, 0, layout.BarWidthPx, std::max(0, layout.BarTopPx));
    layout.StepsDone = 1;

    layout.LabelLeftTwips = PixelsToTwips(layout.BarWidthPx) - D::kLabelWidthTwips - 150;
    layout.StepsDone = 2;

    layout.VolumeTopPx = layout.BarTopPx + 9;
    layout.StepsDone = 3;

    layout.VolumeLeftPx = TwipsToPixels(layout.LabelLeftTwips) - volumeWidthPx - 10;
    layout.StepsDone = 4;

    // 75 twips (5 px) stay free between the toggle and the volume slider.
    layout.MuteLeftTwips =
        layout.LabelLeftTwips - D::kMuteWidthTwips - PixelsToTwips(volumeWidthPx) - 225;
    layout.StepsDone = 5;

    layout.SeekTopPx = layout.BarTopPx + 11;
    layout.StepsDone = 6;

    layout.SeekLeftPx = TwipsToPixels(D::kButtonWidthTwips + D::kButtonLeftTwips) + 10;
    layout.StepsDone = 7;

    const int seekWidth = TwipsToPixels(layout.MuteLeftTwips) - layout.SeekLeftPx - 10;
    if (seekWidth < 0) {
        return layout;  // a negative width is refused: the slider keeps its last good width
    }
    layout.SeekWidthPx = seekWidth;
    layout.StepsDone = 8;

    layout.StepsDone = 9;  // the window refreshes the seek slider
    return layout;
}

PlayerLayout DesignPlayerLayout() {
    return LayOutPlayer(PlayerDesign::kClientWidthPx, PlayerDesign::kClientHeightPx, {});
}

}  // namespace ostrel
