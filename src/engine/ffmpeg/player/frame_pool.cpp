#include "engine/ffmpeg/player/frame_pool.h"

namespace ostrel::engine::ff {

FramePool::FramePool() : shelf_(std::make_shared<Shelf>()) {
    shelf_->frames.reserve(kKeptFrames);  // giving back never allocates
}

std::shared_ptr<VideoFrame> FramePool::Take(int width, int height) {
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
        return nullptr;
    }
    std::unique_ptr<VideoFrame> frame;
    {
        const std::lock_guard lock(shelf_->mutex);
        if (shelf_->width != width || shelf_->height != height) {
            shelf_->frames.clear();
            shelf_->width = width;
            shelf_->height = height;
        } else if (!shelf_->frames.empty()) {
            frame = std::move(shelf_->frames.back());
            shelf_->frames.pop_back();
        }
    }
    if (!frame) {
        frame = std::make_unique<VideoFrame>();
        frame->width = width;
        frame->height = height;
        frame->stride = width * 4;
        frame->pixels.resize(static_cast<std::size_t>(frame->stride) * height);
    }
    frame->ptsUs = 0;
    std::weak_ptr<Shelf> shelf = shelf_;
    return std::shared_ptr<VideoFrame>(
        frame.release(), [shelf = std::move(shelf)](VideoFrame* given) { GiveBack(shelf, given); });
}

void FramePool::GiveBack(const std::weak_ptr<Shelf>& weakShelf, VideoFrame* frame) {
    std::unique_ptr<VideoFrame> owned(frame);
    const std::shared_ptr<Shelf> shelf = weakShelf.lock();
    if (!shelf) {
        return;  // the pool is gone: the frame is freed
    }
    const std::lock_guard lock(shelf->mutex);
    if (owned->width == shelf->width && owned->height == shelf->height &&
        shelf->frames.size() < kKeptFrames) {
        shelf->frames.push_back(std::move(owned));
    }
}

std::size_t FramePool::Kept() const {
    const std::lock_guard lock(shelf_->mutex);
    return shelf_->frames.size();
}

}  // namespace ostrel::engine::ff
