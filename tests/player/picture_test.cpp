// Pictures scaled into frames that come back from the host and are filled again.
#include "engine/ffmpeg/player/picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace ostrel::engine::ff {
namespace {

// A 4:2:0 picture whose every sample depends on where it is and on seed.
FramePtr MakePicture(int width, int height, int seed) {
    FramePtr picture(av_frame_alloc());
    picture->width = width;
    picture->height = height;
    picture->format = AV_PIX_FMT_YUV420P;
    EXPECT_GE(av_frame_get_buffer(picture.get(), 0), 0);
    for (int plane = 0; plane < 3; ++plane) {
        const int rows = plane == 0 ? height : (height + 1) / 2;
        const int columns = plane == 0 ? width : (width + 1) / 2;
        for (int y = 0; y < rows; ++y) {
            for (int x = 0; x < columns; ++x) {
                picture->data[plane][y * picture->linesize[plane] + x] =
                    static_cast<std::uint8_t>(16 + (x * 7 + y * 13 + seed * 31 + plane * 50) % 220);
            }
        }
    }
    return picture;
}

// The picture scaled to width x height by swscale alone, into rows padded far beyond any block
// its vector code writes.
std::vector<std::uint8_t> PaddedScale(const AVFrame& picture, int width, int height, int flags,
                                      int& stride) {
    SwsContextPtr context(sws_getContext(picture.width, picture.height, AV_PIX_FMT_YUV420P, width,
                                         height, AV_PIX_FMT_BGRA, flags, nullptr, nullptr,
                                         nullptr));
    stride = (width + 256) * 4;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(stride) * (height + 1));
    std::uint8_t* planes[4] = {pixels.data(), nullptr, nullptr, nullptr};
    int strides[4] = {stride, 0, 0, 0};
    sws_scale(context.get(), picture.data, picture.linesize, 0, picture.height, planes, strides);
    return pixels;
}

// A frame that held another picture of another shape is filled again: the picture where it fits,
// pixel for pixel as swscale makes it, and black (alpha 255) around it.
TEST(PictureScaler, AFrameFilledAgainHoldsOnlyTheNewPicture) {
    struct Case {
        int beforeWidth, beforeHeight;  // the picture the frame held first
        int width, height;              // the picture
        int displayWidth, displayHeight;
        bool straight;  // scaled straight into the frame
    };
    const Case cases[] = {
        {320, 120, 320, 240, 640, 480, true},    // enlarged, no border
        {320, 120, 320, 240, 320, 240, true},    // converted only
        {320, 120, 330, 250, 330, 250, false},   // converted only, rows of part blocks
        {320, 120, 1920, 1080, 640, 360, true},  // shrunk
        {320, 120, 320, 240, 656, 300, true},    // bars left and right
        {320, 120, 320, 240, 700, 300, false},   // bars left and right, rows off 16 bytes
        {320, 240, 320, 120, 400, 500, true},    // bars above and below
        {160, 120, 176, 144, 170, 100, false},   // part blocks and bars
    };
    for (const Case& c : cases) {
        const std::string name = std::to_string(c.width) + "x" + std::to_string(c.height) + " in " +
                                 std::to_string(c.displayWidth) + "x" +
                                 std::to_string(c.displayHeight);
        const PictureSize display{c.displayWidth, c.displayHeight};
        PictureScaler scaler;
        const VideoFrame* used = nullptr;
        {
            const FramePtr before = MakePicture(c.beforeWidth, c.beforeHeight, 1);
            const auto first = scaler.Scale(before.get(), display, 0);
            ASSERT_NE(first, nullptr) << name;
            used = first.get();
        }
        const FramePtr picture = MakePicture(c.width, c.height, 2);
        const auto frame = scaler.Scale(picture.get(), display, 40'000);
        ASSERT_NE(frame, nullptr) << name;
        EXPECT_EQ(frame.get(), used) << name << ": the frame let go of is filled again";
        EXPECT_EQ(frame->ptsUs, 40'000) << name;
        EXPECT_EQ(frame->stride, c.displayWidth * 4) << name;
        ASSERT_EQ(frame->pixels.size(), static_cast<std::size_t>(frame->stride) * c.displayHeight);

        const FitRect rect = FitPicture({c.width, c.height}, AVRational{1, 1}, display);
        EXPECT_EQ(ScalesStraightInto(rect, c.displayWidth), c.straight) << name;
        const bool shrinking = rect.width < c.width && rect.height < c.height;
        int stride = 0;
        const std::vector<std::uint8_t> expected = PaddedScale(
            *picture, rect.width, rect.height, shrinking ? SWS_AREA : SWS_BICUBIC, stride);
        int wrong = 0;
        for (int y = 0; y < c.displayHeight; ++y) {
            for (int x = 0; x < c.displayWidth; ++x) {
                const std::uint8_t* got = &frame->pixels[y * frame->stride + x * 4];
                const bool inside = x >= rect.x && x < rect.x + rect.width && y >= rect.y &&
                                    y < rect.y + rect.height;
                static constexpr std::uint8_t kBlack[4] = {0, 0, 0, 255};
                const std::uint8_t* want =
                    inside ? &expected[(y - rect.y) * stride + (x - rect.x) * 4] : kBlack;
                wrong += std::memcmp(got, want, 4) != 0 ? 1 : 0;
            }
        }
        EXPECT_EQ(wrong, 0) << name << ": pixels that differ";
    }
}

// What scaling straight into a frame relies on: rows of whole blocks are not written a byte past
// the last one (the first test checks they are written whole).
TEST(PictureScaler, StraightRowsEndWhereTheFrameEnds) {
    struct Case {
        int width, height, displayWidth, displayHeight, flags;
    };
    const Case cases[] = {
        {320, 240, 320, 240, SWS_BICUBIC},  {176, 144, 352, 288, SWS_BICUBIC},
        {1920, 1080, 640, 360, SWS_AREA},   {1280, 720, 16, 9, SWS_AREA},
        {640, 360, 1280, 720, SWS_BICUBIC},
    };
    constexpr std::size_t kGuardBytes = 4096;
    constexpr std::uint8_t kGuard = 0xA5;
    for (const Case& c : cases) {
        ASSERT_TRUE(ScalesStraightInto({0, 0, c.displayWidth, c.displayHeight}, c.displayWidth));
        const FramePtr picture = MakePicture(c.width, c.height, 3);
        SwsContextPtr context(sws_getContext(c.width, c.height, AV_PIX_FMT_YUV420P, c.displayWidth,
                                             c.displayHeight, AV_PIX_FMT_BGRA, c.flags, nullptr,
                                             nullptr, nullptr));
        const int stride = c.displayWidth * 4;
        const std::size_t bytes = static_cast<std::size_t>(stride) * c.displayHeight;
        std::vector<std::uint8_t> pixels(bytes + kGuardBytes, kGuard);
        std::uint8_t* planes[4] = {pixels.data(), nullptr, nullptr, nullptr};
        int strides[4] = {stride, 0, 0, 0};
        sws_scale(context.get(), picture->data, picture->linesize, 0, c.height, planes, strides);
        EXPECT_TRUE(std::all_of(pixels.begin() + static_cast<std::ptrdiff_t>(bytes), pixels.end(),
                                [](std::uint8_t b) { return b == kGuard; }))
            << c.width << "x" << c.height << " to " << c.displayWidth << "x" << c.displayHeight;
    }
}

// A frame goes back to the pool only when its last owner lets go, and only while the pool
// makes frames of its size; frames that outlive the pool are freed by their owner.
TEST(FramePool, FramesComeBackOnlyWhenLetGo) {
    auto pool = std::make_unique<FramePool>();
    auto held = pool->Take(64, 32);
    ASSERT_NE(held, nullptr);
    std::fill(held->pixels.begin(), held->pixels.end(), std::uint8_t{7});
    std::vector<std::shared_ptr<VideoFrame>> others;
    for (std::size_t i = 0; i < FramePool::kKeptFrames + 2; ++i) {
        others.push_back(pool->Take(64, 32));
        EXPECT_NE(others.back().get(), held.get());
    }
    EXPECT_TRUE(std::all_of(held->pixels.begin(), held->pixels.end(),
                            [](std::uint8_t b) { return b == 7; }));
    others.clear();
    EXPECT_EQ(pool->Kept(), FramePool::kKeptFrames) << "no more are kept";

    held.reset();  // more than are kept: freed
    EXPECT_EQ(pool->Kept(), FramePool::kKeptFrames);
    auto again = pool->Take(64, 32);
    EXPECT_EQ(pool->Kept(), FramePool::kKeptFrames - 1);
    EXPECT_EQ(again->width, 64);
    EXPECT_EQ(again->pixels.size(), 64u * 4 * 32);

    auto otherSize = pool->Take(32, 16);  // a new size: the kept frames are freed
    EXPECT_EQ(pool->Kept(), 0u);
    again.reset();  // of the old size: freed, not kept
    EXPECT_EQ(pool->Kept(), 0u);
    EXPECT_EQ(pool->Take(0, 16), nullptr);
    EXPECT_EQ(pool->Take(16, FramePool::kMaxSide + 1), nullptr);

    pool.reset();
    otherSize->pixels[0] = 1;  // still the owner's to use and free
}

}  // namespace
}  // namespace ostrel::engine::ff
