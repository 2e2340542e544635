#include "engine/ffmpeg/shared_muxer.h"

#include <utility>

#include "engine/ffmpeg/output.h"
#include "engine/ffmpeg/subtitles.h"

namespace ostrel::engine::ff {
namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(100);

}  // namespace

SharedMuxer::SharedMuxer(Output& output, Progress progress)
    : output_(output), progress_(std::move(progress)) {}

bool SharedMuxer::Write(AVPacket* packet, AVRational encoderTimeBase, const AVStream& stream,
                        std::string& error) {
    std::int64_t positionUs = -1;
    {
        std::lock_guard lock(mutex_);
        if (!output_.Write(packet, encoderTimeBase, stream, error)) {
            return false;
        }
        positionUs = DuePositionUs(false);
    }
    Report(positionUs);
    return true;
}

bool SharedMuxer::WriteSubtitle(SubtitleTracks& subtitles, const AVPacket& packet,
                                std::string& error) {
    std::lock_guard lock(mutex_);
    return subtitles.Write(packet, *output_.Context(), error);
}

std::int64_t SharedMuxer::PositionUs() {
    std::lock_guard lock(mutex_);
    return output_.PositionUs();
}

void SharedMuxer::ReportEnd() {
    std::int64_t positionUs = -1;
    {
        std::lock_guard lock(mutex_);
        positionUs = DuePositionUs(true);
    }
    Report(positionUs);
}

// The position to report, or -1 when the last report is too recent.
std::int64_t SharedMuxer::DuePositionUs(bool force) {
    const auto now = std::chrono::steady_clock::now();
    if (!progress_ || (!force && now - lastReport_ < kProgressInterval)) {
        return -1;
    }
    lastReport_ = now;
    return output_.PositionUs();
}

void SharedMuxer::Report(std::int64_t positionUs) const {
    if (positionUs >= 0) {
        progress_(positionUs);
    }
}

}  // namespace ostrel::engine::ff
