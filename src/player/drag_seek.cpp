#include "player/drag_seek.h"

#include <algorithm>

namespace ostrel {

std::optional<std::int64_t> DragSeekThrottle::Offer(std::int64_t targetUs, std::int64_t nowMs) {
    if (lastTargetUs_ == targetUs && !pendingUs_) {
        return std::nullopt;  // the picture of this position was asked for already
    }
    if (lastSeekMs_ && nowMs - *lastSeekMs_ < kMinIntervalMs) {
        pendingUs_ = targetUs;
        return std::nullopt;
    }
    pendingUs_.reset();
    lastSeekMs_ = nowMs;
    lastTargetUs_ = targetUs;
    return targetUs;
}

std::optional<std::int64_t> DragSeekThrottle::TakeDue(std::int64_t nowMs) {
    if (!pendingUs_ || (lastSeekMs_ && nowMs - *lastSeekMs_ < kMinIntervalMs)) {
        return std::nullopt;
    }
    const std::int64_t target = *pendingUs_;
    pendingUs_.reset();
    lastSeekMs_ = nowMs;
    lastTargetUs_ = target;
    return target;
}

std::optional<std::int64_t> DragSeekThrottle::MsUntilDue(std::int64_t nowMs) const {
    if (!pendingUs_) {
        return std::nullopt;
    }
    return lastSeekMs_ ? std::max<std::int64_t>(0, *lastSeekMs_ + kMinIntervalMs - nowMs) : 0;
}

void DragSeekThrottle::Reset() {
    lastSeekMs_.reset();
    pendingUs_.reset();
    lastTargetUs_.reset();
}

}  // namespace ostrel
