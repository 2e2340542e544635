#include "engine/ffmpeg/player/picture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ostrel::engine::ff {
namespace {

// B, G, R = 0 and A = 255 in count pixels from at.
void FillBlack(std::uint8_t* at, int count) {
    constexpr std::uint8_t kBlack[4] = {0, 0, 0, 255};
    for (int x = 0; x < count; ++x) {
        std::memcpy(at + static_cast<std::size_t>(x) * 4, kBlack, 4);
    }
}

// Black where the picture does not cover the frame.
void FillBorders(VideoFrame& frame, const FitRect& rect) {
    for (int y = 0; y < frame.height; ++y) {
        std::uint8_t* row = frame.pixels.data() + static_cast<std::size_t>(y) * frame.stride;
        if (y < rect.y || y >= rect.y + rect.height) {
            FillBlack(row, frame.width);
            continue;
        }
        FillBlack(row, rect.x);
        FillBlack(row + static_cast<std::size_t>(rect.x + rect.width) * 4,
                  frame.width - rect.x - rect.width);
    }
}

std::shared_ptr<VideoFrame> NewFrame(int width, int height) {
    if (width <= 0 || height <= 0 || width > FramePool::kMaxSide || height > FramePool::kMaxSide) {
        return nullptr;
    }
    auto frame = std::make_shared<VideoFrame>();
    frame->width = width;
    frame->height = height;
    frame->stride = width * 4;
    frame->pixels.resize(static_cast<std::size_t>(frame->stride) * height);
    return frame;
}

double PictureAspect(int width, int height, AVRational sar) {
    double aspect = static_cast<double>(width) / height;
    if (sar.num > 0 && sar.den > 0) {
        aspect *= av_q2d(sar);
    }
    return aspect;
}

}  // namespace

FitRect FitPicture(PictureSize picture, AVRational sar, PictureSize display) {
    const int width = picture.width;
    const int height = picture.height;
    const int displayWidth = display.width;
    const int displayHeight = display.height;
    FitRect rect;
    if (width <= 0 || height <= 0 || displayWidth <= 0 || displayHeight <= 0) {
        return rect;
    }
    const double aspect = PictureAspect(width, height, sar);
    // As wide as the display, unless that makes it too high.
    int fitWidth = displayWidth;
    int fitHeight = static_cast<int>(std::lrint(displayWidth / aspect));
    if (fitHeight > displayHeight) {
        fitHeight = displayHeight;
        fitWidth = static_cast<int>(std::lrint(displayHeight * aspect));
    }
    rect.width = std::clamp(fitWidth, 1, displayWidth);
    rect.height = std::clamp(fitHeight, 1, displayHeight);
    rect.x = (displayWidth - rect.width) / 2;
    rect.y = (displayHeight - rect.height) / 2;
    return rect;
}

PictureSize NaturalSize(PictureSize picture, AVRational sar) {
    if (picture.width <= 0 || picture.height <= 0) {
        return {};
    }
    const double aspect = PictureAspect(picture.width, picture.height, sar);
    const int width = static_cast<int>(std::lrint(picture.height * aspect));
    return {std::max(2, width + (width & 1)), picture.height};
}

bool ScalesStraightInto(const FitRect& rect, int frameWidth) {
    // Whole blocks of 16 pixels, each row starting on 16 bytes as swscale's vector code likes.
    return rect.width % kStraightBlockPixels == 0 && rect.x % 4 == 0 && frameWidth % 4 == 0;
}

std::shared_ptr<const VideoFrame> PictureScaler::Scale(const AVFrame* picture, PictureSize display,
                                                       std::int64_t ptsUs) {
    if (picture == nullptr || picture->width <= 0 || picture->height <= 0) {
        return nullptr;
    }
    auto frame = pool_.Take(display.width, display.height);
    if (!frame) {
        return nullptr;
    }
    frame->ptsUs = ptsUs;
    const FitRect rect =
        FitPicture({picture->width, picture->height}, picture->sample_aspect_ratio, display);
    // Bicubic as the ffmpeg tool scales (and converts at the same size); shrinking, which is
    // what a preview mostly does, averages areas: as sharp and cheaper.
    const bool shrinking = rect.width < picture->width && rect.height < picture->height;
    context_ = sws_getCachedContext(context_, picture->width, picture->height,
                                    static_cast<AVPixelFormat>(picture->format), rect.width,
                                    rect.height, AV_PIX_FMT_BGRA,
                                    shrinking ? SWS_AREA : SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (owner_.get() != context_) {
        owner_.release();  // sws_getCachedContext freed the old one
        owner_.reset(context_);
    }
    if (context_ == nullptr) {
        return nullptr;
    }
    std::uint8_t* const corner = frame->pixels.data() +
                                 static_cast<std::size_t>(rect.y) * frame->stride +
                                 static_cast<std::size_t>(rect.x) * 4;
    if (ScalesStraightInto(rect, display.width)) {
        std::uint8_t* planes[4] = {corner, nullptr, nullptr, nullptr};
        int strides[4] = {frame->stride, 0, 0, 0};
        sws_scale(context_, picture->data, picture->linesize, 0, picture->height, planes, strides);
    } else {
        const int scratchStride = FFALIGN(rect.width, kScratchBlockPixels) * 4;
        scratch_.resize(static_cast<std::size_t>(scratchStride) * (rect.height + 1));
        std::uint8_t* planes[4] = {scratch_.data(), nullptr, nullptr, nullptr};
        int strides[4] = {scratchStride, 0, 0, 0};
        sws_scale(context_, picture->data, picture->linesize, 0, picture->height, planes, strides);
        const auto rowBytes = static_cast<std::size_t>(rect.width) * 4;
        for (int y = 0; y < rect.height; ++y) {
            std::memcpy(corner + static_cast<std::size_t>(y) * frame->stride,
                        scratch_.data() + static_cast<std::size_t>(y) * scratchStride, rowBytes);
        }
    }
    // A frame from the pool holds an older picture: its borders are made black again.
    FillBorders(*frame, rect);
    return frame;
}

std::shared_ptr<const VideoFrame> BlackFrame(PictureSize display) {
    auto frame = NewFrame(display.width, display.height);
    if (frame) {
        FillBorders(*frame, FitRect{});
    }
    return frame;
}

}  // namespace ostrel::engine::ff
