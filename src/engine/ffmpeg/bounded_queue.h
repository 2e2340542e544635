// The one hand-over point between the engine's threads: a bounded queue whose waits end at
// once when the queue is aborted or its stop token is stopped (no wait looks at a flag on a
// timer).
//
// A producer that found the queue full sleeps until it is half empty, not until one item was
// taken: otherwise a fast reader and a slow encoder wake each other for every packet, and the
// thread switches cost more than the reader's work (a sound-only conversion spent 15 % more CPU
// time that way). A queue made for batches does the same for its consumer: one that found it
// empty sleeps until it is half full or closed, for stages whose items are small and many.
//
// The producer closes the queue at the end of its stream; the consumer then takes what is
// left and learns the end. Abort() (a stage failed, the media closes) drops what is queued and
// ends every wait; a stopped token does the same for the waits.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <stop_token>
#include <utility>

namespace ostrel::engine::ff {

template <typename Item>
class BoundedQueue {
  public:
    enum class Wake { EachItem, Batch };

    BoundedQueue(std::size_t capacity, std::stop_token stop, Wake consumer = Wake::EachItem)
        : capacity_(capacity < 1 ? 1 : capacity),
          lowWater_(capacity_ / 2),
          highWater_(consumer == Wake::Batch ? (capacity_ + 1) / 2 : 1),
          stop_(std::move(stop)) {}
    BoundedQueue(const BoundedQueue&) = delete;
    BoundedQueue& operator=(const BoundedQueue&) = delete;

    // Waits for room; false (the item dropped) once the queue was aborted or stopped.
    bool Push(Item item) {
        return Push(std::move(item), [](Item&) { return true; });
    }

    // Push that asks admit(item) under the lock, once there is room, whether the item is still
    // wanted (and lets it stamp the item with state that Clear's underLock changes, such as a
    // serial): an item it refuses is dropped, and Push returns true.
    template <typename Admit>
    bool Push(Item item, Admit admit) {
        std::unique_lock lock(mutex_);
        if (items_.size() >= capacity_) {
            producerWaits_ = true;
            const bool room = Wait(lock, room_, [this] { return items_.size() <= lowWater_; });
            producerWaits_ = false;
            if (!room) {
                return false;
            }
        } else if (Stopped()) {
            return false;
        }
        if (!admit(item)) {
            return true;
        }
        items_.push_back(std::move(item));
        if (consumerWaits_ && items_.size() >= highWater_) {
            ready_.notify_one();
        }
        return true;
    }

    // Waits for an item; false at the end (closed and empty) or once aborted or stopped.
    bool Pop(Item& item) {
        std::unique_lock lock(mutex_);
        if (items_.empty() && !closed_) {
            consumerWaits_ = true;
            const bool ready =
                Wait(lock, ready_, [this] { return items_.size() >= highWater_ || closed_; });
            consumerWaits_ = false;
            if (!ready) {
                return false;
            }
        } else if (Stopped()) {
            return false;
        }
        if (items_.empty()) {
            return false;  // closed, and everything taken
        }
        TakeFront(item);
        return true;
    }

    // Takes an item if one is there; never waits.
    bool TryPop(Item& item) {
        std::lock_guard lock(mutex_);
        if (items_.empty() || Stopped()) {
            return false;
        }
        TakeFront(item);
        return true;
    }

    // Calls look(front) under the lock when an item is there; false when empty.
    template <typename Look>
    bool Peek(Look look) const {
        std::lock_guard lock(mutex_);
        if (items_.empty()) {
            return false;
        }
        look(items_.front());
        return true;
    }

    // No more items will come.
    void Close() {
        std::lock_guard lock(mutex_);
        closed_ = true;
        ready_.notify_all();
    }

    // Drops what is queued and calls underLock() before anyone sees the queue empty (a serial
    // raised at a flush); the queue takes items again, and a closed queue is open again.
    template <typename UnderLock>
    void Clear(UnderLock underLock) {
        std::deque<Item> dropped;  // destroyed outside the lock
        {
            std::lock_guard lock(mutex_);
            dropped.swap(items_);
            closed_ = false;
            underLock();
            room_.notify_all();
            ready_.notify_all();
        }
    }

    // Ends every wait at once; what is queued is dropped and nothing more is taken.
    void Abort() {
        std::deque<Item> dropped;
        {
            std::lock_guard lock(mutex_);
            aborted_ = true;
            dropped.swap(items_);
            ready_.notify_all();
            room_.notify_all();
        }
    }

    std::size_t Size() const {
        std::lock_guard lock(mutex_);
        return items_.size();
    }

  private:
    bool Stopped() const { return aborted_ || stop_.stop_requested(); }

    void TakeFront(Item& item) {
        item = std::move(items_.front());
        items_.pop_front();
        if (producerWaits_ && items_.size() <= lowWater_) {
            room_.notify_one();
        }
    }

    // Waits until done() holds; false when the queue was aborted or stopped meanwhile. The
    // token's stop wakes the wait itself.
    template <typename Done>
    bool Wait(std::unique_lock<std::mutex>& lock, std::condition_variable_any& signal, Done done) {
        signal.wait(lock, stop_, [this, &done] { return aborted_ || done(); });
        return !Stopped();
    }

    const std::size_t capacity_;
    const std::size_t lowWater_;   // a producer that waits for room wakes at this many items
    const std::size_t highWater_;  // a consumer that waits for items wakes at this many
    const std::stop_token stop_;
    mutable std::mutex mutex_;
    std::condition_variable_any ready_;
    std::condition_variable_any room_;
    std::deque<Item> items_;
    bool producerWaits_ = false;
    bool consumerWaits_ = false;
    bool closed_ = false;
    bool aborted_ = false;
};

}  // namespace ostrel::engine::ff
