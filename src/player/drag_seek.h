// The seeks that follow a dragged seek thumb: fast key-frame seeks at most every
// kMinIntervalMs, the latest position winning. A position offered too soon waits as the
// pending one and is sought when its time comes, unless a newer one replaced it.
#pragma once

#include <cstdint>
#include <optional>

namespace ostrel {

class DragSeekThrottle {
  public:
    static constexpr std::int64_t kMinIntervalMs = 200;  // at most five seeks a second

    // A new drag position at nowMs: the target to seek now, or nothing (it is pending).
    std::optional<std::int64_t> Offer(std::int64_t targetUs, std::int64_t nowMs);
    // The pending target when its time has come at nowMs (it is then no longer pending).
    std::optional<std::int64_t> TakeDue(std::int64_t nowMs);
    // How long until the pending target is due; nothing when none is pending.
    std::optional<std::int64_t> MsUntilDue(std::int64_t nowMs) const;
    // The drag ended: nothing is pending, the next drag may seek at once.
    void Reset();

  private:
    std::optional<std::int64_t> lastSeekMs_;
    std::optional<std::int64_t> pendingUs_;
    std::optional<std::int64_t> lastTargetUs_;
};

}  // namespace ostrel
