// A bounded queue whose items carry the serial of the queue they were queued under, as
// ffplay's packet and frame queues do: Flush(targetUs) drops everything queued and raises the
// serial, so whatever was read or decoded before it is recognised as stale wherever it is.
// Each item also carries its serial's target (where a seek wants playback to start), read
// together with the serial under the queue's lock.
//
// Push stamps an item with the current serial; PushOf queues an item made under a given
// serial (a picture decoded from a packet of that serial) only while that serial is current.
// The waits are those of BoundedQueue: they end at once on the stop token or Abort.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <stop_token>
#include <utility>

#include "engine/ffmpeg/bounded_queue.h"

namespace ostrel::engine::ff {

template <typename Item>
class SerialQueue {
  public:
    struct Entry {
        Item item{};
        int serial = 0;
        std::int64_t targetUs = 0;  // where the serial's playback starts (media time)
        std::int64_t bytes = 0;     // what the item counts for in Bytes()
    };

    SerialQueue(std::size_t capacity, std::stop_token stop) : queue_(capacity, std::move(stop)) {}

    // Queues item under the current serial; false once stopped or aborted.
    bool Push(Item item, std::int64_t bytes = 0) {
        return queue_.Push(Entry{std::move(item), 0, 0, bytes}, [this](Entry& entry) {
            entry.serial = serial_.load();
            entry.targetUs = targetUs_;
            bytes_ += entry.bytes;
            return true;
        });
    }

    // Queues item made under serial, unless a flush came since (then it is dropped and the
    // call returns true); false once stopped or aborted.
    bool PushOf(int serial, Item item) {
        return queue_.Push(Entry{std::move(item), serial, 0, 0}, [this](Entry& entry) {
            entry.targetUs = targetUs_;
            return entry.serial == serial_.load();
        });
    }

    // Waits for the next entry; false once stopped or aborted.
    bool Pop(Entry& entry) { return Taken(queue_.Pop(entry), entry); }
    // The next entry if there is one; never waits.
    bool TryPop(Entry& entry) { return Taken(queue_.TryPop(entry), entry); }
    // Calls look(front entry) under the lock when there is one.
    template <typename Look>
    bool Peek(Look look) const {
        return queue_.Peek(look);
    }

    // Drops every queued item and starts a new serial whose playback starts at targetUs.
    void Flush(std::int64_t targetUs) {
        queue_.Clear([this, targetUs] {
            targetUs_ = targetUs;
            bytes_ = 0;
            serial_.fetch_add(1);
        });
    }
    void Abort() { queue_.Abort(); }

    int Serial() const { return serial_.load(); }
    // For clocks that read NaN once their serial is left behind.
    const std::atomic<int>& SerialValue() const { return serial_; }
    std::size_t Size() const { return queue_.Size(); }
    // The bytes of the current serial's queued items (an estimate while a flush races a pop).
    std::int64_t Bytes() const { return std::max<std::int64_t>(0, bytes_.load()); }

  private:
    bool Taken(bool taken, const Entry& entry) {
        if (taken && entry.bytes != 0 && entry.serial == serial_.load()) {
            bytes_ -= entry.bytes;
        }
        return taken;
    }

    BoundedQueue<Entry> queue_;
    std::atomic<int> serial_{0};
    std::int64_t targetUs_ = 0;  // guarded by the queue's lock (Push's admit, Flush's underLock)
    std::atomic<std::int64_t> bytes_{0};
};

}  // namespace ostrel::engine::ff
