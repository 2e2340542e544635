// Where the player window's controls go: the video area above a 32 px control bar, and the
// bar's children placed from its right edge leftwards. The bar's children are positioned in
// twips and the window in pixels (15 twips make a pixel), as the window was designed.
#pragma once

#include <QRect>

namespace ostrel {

// The window's design sizes.
struct PlayerDesign {
    static constexpr int kClientWidthPx = 516;  // 7740 x 5205 twips
    static constexpr int kClientHeightPx = 347;
    static constexpr int kBarHeightPx = 32;  // 480 twips

    static constexpr int kButtonLeftTwips = 180;
    static constexpr int kButtonTopTwips = 60;
    static constexpr int kButtonWidthTwips = 435;
    static constexpr int kButtonHeightTwips = 375;
    static constexpr int kLabelTopTwips = 135;
    static constexpr int kLabelWidthTwips = 1575;
    static constexpr int kLabelHeightTwips = 210;
    static constexpr int kMuteTopTwips = 135;
    static constexpr int kMuteWidthTwips = 300;
    static constexpr int kMuteHeightTwips = 225;
    static constexpr int kSeekWidthPx = 235;  // 3525 x 180 twips
    static constexpr int kSeekHeightPx = 12;
    static constexpr int kVolumeWidthPx = 72;  // 1080 x 195 twips
    static constexpr int kVolumeHeightPx = 13;

    // The smallest client area the window allows: the seek slider keeps 40 px and a strip of
    // picture stays above the bar.
    static constexpr int kMinClientWidthPx = 323;
    static constexpr int kMinClientHeightPx = 96;
};

// The positions one layout pass computes. Fields a pass did not reach keep the values of the
// layout it started from.
struct PlayerLayout {
    QRect VideoArea;  // pixels
    int BarTopPx = 0;
    int BarWidthPx = 0;
    int LabelLeftTwips = 0;
    int VolumeTopPx = 0;
    int VolumeLeftPx = 0;
    int MuteLeftTwips = 0;
    int SeekTopPx = 0;
    int SeekLeftPx = 0;
    int SeekWidthPx = PlayerDesign::kSeekWidthPx;
    // How many of the nine steps ran; 9 means the seek slider is to be refreshed as well.
    int StepsDone = 0;

    bool operator==(const PlayerLayout&) const = default;
};

// One layout pass for a client area, in this order: the video area fills the client area above
// the bar; the label's left edge from the bar's right edge; the volume slider's top and left;
// the mute toggle's left; the seek slider's top, left and width; the seek slider's refresh.
// The pass ends at the first step whose size would be negative (a window too narrow for the
// seek slider), leaving that and the later fields as they were in previous.
PlayerLayout LayOutPlayer(int clientWidthPx, int clientHeightPx, const PlayerLayout& previous,
                          int volumeWidthPx = PlayerDesign::kVolumeWidthPx);

// The layout of the design client size.
PlayerLayout DesignPlayerLayout();

}  // namespace ostrel
