// The one way up from the engine's threads to the host: events are handed to the host's
// poster, which runs them on the host's thread, and each carries the serial of the run (a
// queue run, an opened media) it belongs to. On the host's thread an event runs only while
// its serial is still the current one and the engine object lives, so nothing of a cleared
// queue, a closed media or a destroyed object reaches the host.
//
// Posting never happens under a lock of the caller's: the poster may take the host's locks or
// run at once. Values that only matter at their newest (a picture, a position, progress) go
// through a LatestValue slot: one event is on its way at a time and takes the newest value
// when it runs, so a slow host is never flooded.
//
// The owner mark tells the engine whether a call comes from one of its own threads (a host
// whose poster runs events at once instead of queuing them), which it must refuse.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>

#include "engine/engine.h"

namespace ostrel::engine::ff {

// The serials' state, shared by the engine object and every event it posted.
class EventGate {
  public:
    std::uint64_t NextRun() { return serial_.fetch_add(1) + 1; }
    std::uint64_t Current() const { return serial_.load(); }
    void Close() { closed_ = true; }
    bool IsCurrent(std::uint64_t serial) const { return !closed_ && serial == serial_.load(); }

  private:
    std::atomic<std::uint64_t> serial_{0};
    std::atomic<bool> closed_{false};
};

// Holds the newest of a value posted often; Offer says whether an event must be posted.
template <typename Value>
class LatestValue {
  public:
    // Keeps value; true when no event is on its way to take it (the caller posts one).
    bool Offer(Value value) {
        std::lock_guard lock(mutex_);
        value_ = std::move(value);
        if (posted_) {
            return false;
        }
        posted_ = true;
        return true;
    }
    // On the host's thread: the newest value; the next Offer posts again.
    Value Take() {
        std::lock_guard lock(mutex_);
        posted_ = false;
        return std::exchange(value_, Value{});
    }

  private:
    std::mutex mutex_;
    Value value_{};
    bool posted_ = false;
};

class HostEvents {
  public:
    HostEvents() = default;
    HostEvents(const HostEvents&) = delete;
    HostEvents& operator=(const HostEvents&) = delete;

    void SetPoster(EventPoster poster);
    // A new run: events of earlier runs still on their way are dropped.
    std::uint64_t NextRun() { return gate_->NextRun(); }
    std::uint64_t Current() const { return gate_->Current(); }
    // The engine object goes away: no event posted before runs anymore.
    void Close() { gate_->Close(); }

    // Hands event to the poster; it runs on the host's thread while serial is current.
    void Post(std::uint64_t serial, std::function<void()> event) const;

    // Keeps value in slot and posts deliver(newest value) unless such an event is on its way.
    // The event empties the slot even when its run is over, so the slot never stays marked as
    // posted (a new run's values would never be posted again); without a poster nothing is on
    // its way either.
    template <typename Value>
    void PostLatest(std::uint64_t serial, const std::shared_ptr<LatestValue<Value>>& slot,
                    Value value, std::function<void(Value)> deliver) const {
        if (!slot->Offer(std::move(value))) {
            return;
        }
        const bool posted = PostUngated([gate = gate_, serial, slot, deliver = std::move(deliver)] {
            Value newest = slot->Take();
            if (gate->IsCurrent(serial)) {
                deliver(std::move(newest));
            }
        });
        if (!posted) {
            slot->Take();
        }
    }

    // Marks the calling thread as the owner's while the mark lives.
    class OwnerMark {
      public:
        explicit OwnerMark(const void* owner);
        ~OwnerMark();
        OwnerMark(const OwnerMark&) = delete;
        OwnerMark& operator=(const OwnerMark&) = delete;

      private:
        const void* previous_;
    };
    // Marks the calling thread as the owner's for the rest of its life (a stage thread).
    static void MarkThread(const void* owner);
    static bool OnThreadOf(const void* owner);

  private:
    // Hands event to the poster as it is; false when there is no poster.
    bool PostUngated(std::function<void()> event) const;

    mutable std::mutex mutex_;  // guards poster_ only
    EventPoster poster_;
    std::shared_ptr<EventGate> gate_ = std::make_shared<EventGate>();
};

}  // namespace ostrel::engine::ff
