#include "engine/ffmpeg/player/picture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ostrel::engine::ff {
namespace {

constexpr int kMaxSide = 16384;

void FillBlack(VideoFrame& frame) {
    // B, G, R = 0 and A = 255 in every pixel.
    for (int y = 0; y < frame.height; ++y) {
        std::uint8_t* row = frame.pixels.data() + static_cast<std::size_t>(y) * frame.stride;
        for (int x = 0; x < frame.width; ++x) {
            row[x * 4 + 0] = 0;
            row[x * 4 + 1] = 0;
            row[x * 4 + 2] = 0;
            row[x * 4 + 3] = 255;
        }
    }
}

std::shared_ptr<VideoFrame> NewFrame(int width, int height) {
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
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

std::shared_ptr<const VideoFrame> PictureScaler::Scale(const AVFrame* picture, PictureSize display,
                                                       std::int64_t ptsUs) {
    auto frame = NewFrame(display.width, display.height);
    if (!frame || picture == nullptr || picture->width <= 0 || picture->height <= 0) {
        return nullptr;
    }
    frame->ptsUs = ptsUs;
    const FitRect rect =
        FitPicture({picture->width, picture->height}, picture->sample_aspect_ratio, display);
    if (rect.width != display.width || rect.height != display.height) {
        FillBlack(*frame);
    }
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
    constexpr int kBlockPixels = 64;
    const int scratchStride = FFALIGN(rect.width, kBlockPixels) * 4;
    scratch_.resize(static_cast<std::size_t>(scratchStride) * (rect.height + 1));
    std::uint8_t* planes[4] = {scratch_.data(), nullptr, nullptr, nullptr};
    int strides[4] = {scratchStride, 0, 0, 0};
    sws_scale(context_, picture->data, picture->linesize, 0, picture->height, planes, strides);
    const auto rowBytes = static_cast<std::size_t>(rect.width) * 4;
    for (int y = 0; y < rect.height; ++y) {
        std::memcpy(frame->pixels.data() + static_cast<std::size_t>(rect.y + y) * frame->stride +
                        static_cast<std::size_t>(rect.x) * 4,
                    scratch_.data() + static_cast<std::size_t>(y) * scratchStride, rowBytes);
    }
    return frame;
}

std::shared_ptr<const VideoFrame> BlackFrame(PictureSize display) {
    auto frame = NewFrame(display.width, display.height);
    if (frame) {
        FillBlack(*frame);
    }
    return frame;
}

}  // namespace ostrel::engine::ff
