// Frames of the display size handed out again once the host has let go of them: a picture
// then costs neither an allocation nor the kernel zeroing fresh pages for it, as it does when
// every picture gets a new frame of a megabyte or more.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/engine.h"

namespace ostrel::engine::ff {

class FramePool {
  public:
    // How many unused frames are kept; more are freed as they come back.
    static constexpr std::size_t kKeptFrames = 4;

    FramePool();

    // A frame of that size, rows of width * 4 bytes; its pixels hold whatever the frame held
    // before. Null for sizes that are not positive or are beyond kMaxSide. The frame goes back
    // to the pool when its last owner drops it, on whatever thread that is; frames of an older
    // size, or that outlive the pool, are freed instead.
    std::shared_ptr<VideoFrame> Take(int width, int height);

    // The number of unused frames kept now.
    std::size_t Kept() const;

    static constexpr int kMaxSide = 16384;

  private:
    struct Shelf {
        mutable std::mutex mutex;
        int width = 0;
        int height = 0;
        std::vector<std::unique_ptr<VideoFrame>> frames;
    };
    static void GiveBack(const std::weak_ptr<Shelf>& shelf, VideoFrame* frame);

    std::shared_ptr<Shelf> shelf_;
};

}  // namespace ostrel::engine::ff
