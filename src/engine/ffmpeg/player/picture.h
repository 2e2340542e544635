// Turns decoded pictures into the host's frames: BGRA at the display size, the picture's
// shape kept inside it (black bars), scaled with swscale.
#pragma once

#include <memory>
#include <vector>

#include "engine/engine.h"
#include "engine/ffmpeg/av_util.h"
#include "engine/ffmpeg/player/frame_pool.h"

namespace ostrel::engine::ff {

// Where a picture of this size and sample aspect lands inside a display of that size: the
// largest rectangle of its shape, centred.
struct FitRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};
FitRect FitPicture(PictureSize picture, AVRational sar, PictureSize display);

// The size a picture is shown at when the host has not set one: its width stretched by its
// sample aspect ratio, rounded to even numbers.
PictureSize NaturalSize(PictureSize picture, AVRational sar);

// swscale's vector code writes whole blocks of pixels: past the end of a row whose width is not
// a multiple of the block, or, when the row has no room for that, not the last block at all.
// Rows of whole blocks are scaled straight into the frame; others into scratch rows padded to
// kScratchBlockPixels, and copied.
inline constexpr int kStraightBlockPixels = 16;
inline constexpr int kScratchBlockPixels = 64;
bool ScalesStraightInto(const FitRect& rect, int frameWidth);

class PictureScaler {
  public:
    // A frame of the display size holding the picture; null when the sizes are unusable or
    // swscale refuses the picture's format. ptsUs is stored in the frame. Frames come from a
    // pool: one the host has let go of is filled again.
    std::shared_ptr<const VideoFrame> Scale(const AVFrame* picture, PictureSize display,
                                            std::int64_t ptsUs);

  private:
    SwsContext* context_ = nullptr;  // owned through owner_
    SwsContextPtr owner_;
    std::vector<std::uint8_t> scratch_;
    // Frames the host still holds when the scaler goes are freed by their last owner.
    FramePool pool_;
};

// A black frame of the display size (the picture of sound without video).
std::shared_ptr<const VideoFrame> BlackFrame(PictureSize display);

}  // namespace ostrel::engine::ff
