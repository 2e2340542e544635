#include "engine/ffmpeg/target_size.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace ostrel::engine::ff {
namespace {

constexpr std::int64_t kFloorBitrate = 100'000;
constexpr double kFloorArea = 640.0 * 480.0;
// The bytes every file has besides its packets' share: headers, an index, tags.
constexpr std::int64_t kFixedOverheadBytes = 4096;

}  // namespace

std::int64_t VideoBitrateFloor(int width, int height) {
    const double area = static_cast<double>(std::max(width, 0)) * std::max(height, 0);
    return std::llround(kFloorBitrate * std::max(1.0, area / kFloorArea));
}

double ContainerOverhead(const std::string& muxer) {
    // Measured on this engine's outputs of a few seconds to minutes: the MP4 family's sample
    // tables, Matroska's block headers and cues, FLV's tags, AVI's chunks and index, the MPEG
    // systems' pack and PES headers.
    if (muxer == "mp4" || muxer == "mov" || muxer == "ipod" || muxer == "3gp") {
        return 0.003;
    }
    if (muxer == "matroska" || muxer == "webm") {
        return 0.008;
    }
    if (muxer == "flv" || muxer == "avi" || muxer == "asf") {
        return 0.02;
    }
    return 0.04;
}

SizePlan PlanTargetSize(std::int64_t targetBytes, std::int64_t durationUs,
                        std::int64_t audioBitrate, int width, int height,
                        const std::string& muxer) {
    SizePlan plan;
    if (durationUs <= 0) {
        return plan;
    }
    const double seconds = static_cast<double>(durationUs) / 1e6;
    const double share = 1.0 + ContainerOverhead(muxer);
    const double streamBits =
        static_cast<double>(std::max<std::int64_t>(0, targetBytes - kFixedOverheadBytes)) * 8.0 /
        share;
    plan.videoBitrate =
        std::llround(streamBits / seconds) - std::max<std::int64_t>(0, audioBitrate);
    const std::int64_t floor = VideoBitrateFloor(width, height);
    plan.smallestBytes =
        static_cast<std::int64_t>(
            std::ceil((floor + std::max<std::int64_t>(0, audioBitrate)) * seconds / 8.0 * share)) +
        kFixedOverheadBytes;
    plan.fits = plan.videoBitrate >= floor;
    return plan;
}

std::string TooSmallText(std::int64_t targetBytes, std::int64_t durationUs,
                         std::int64_t smallestBytes) {
    // Sizes in MB of 1,000,000 bytes, the smallest one rounded up to a tenth.
    const double smallest = std::ceil(static_cast<double>(smallestBytes) / 1e5) / 10.0;
    char text[200];
    std::snprintf(text, sizeof(text),
                  "The target size of %g MB is too small for %.1f s of video: the smallest size "
                  "that works is %.1f MB",
                  static_cast<double>(targetBytes) / 1e6, static_cast<double>(durationUs) / 1e6,
                  smallest);
    return text;
}

bool EncodesInTwoPasses(const std::string& encoderName) {
    // libsvtav1's wrapper in FFmpeg 5.1 has no pass options; it gets one pass with a cap.
    return encoderName == "libx264" || encoderName == "libx265" || encoderName == "libvpx" ||
           encoderName == "libvpx-vp9";
}

PassLogFolder::PassLogFolder() {
    std::error_code error;
    const std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) {
        return;
    }
    std::string pattern = (base / "ostrel-pass-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) {
        path_ = pattern;
    }
}

PassLogFolder::~PassLogFolder() {
    if (!path_.empty()) {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
}

}  // namespace ostrel::engine::ff
