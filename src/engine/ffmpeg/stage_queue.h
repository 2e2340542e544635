// The hand-over point between two stages of a conversion task's pipeline: a small bounded
// queue, so that a fast stage waits for a slow one instead of filling the memory.
//
// A producer that found the queue full sleeps until it is half empty, not until one item was
// taken: otherwise a fast reader and a slow encoder wake each other for every packet, and the
// thread switches cost more than the reader's work (a sound-only conversion spent 15 % more CPU
// time that way). A queue made for batches does the same for its consumer: one that found it
// empty sleeps until it is half full or closed, for stages whose items are small and many.
//
// The producer closes the queue at the end of its stream; the consumer then takes what is
// left and learns the end. Stopping is twofold: Abort() (a stage failed) wakes every waiting
// thread at once, and a stop flag set by another object (the encoder's Stop) is looked at
// every few milliseconds while waiting, since whoever sets it cannot notify the queue.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <utility>

namespace ostrel::engine::ff {

template <typename Item>
class StageQueue {
  public:
    enum class Wake { EachItem, Batch };

    StageQueue(std::size_t capacity, const std::atomic<bool>* stop, Wake consumer = Wake::EachItem)
        : capacity_(capacity < 1 ? 1 : capacity),
          lowWater_(capacity_ / 2),
          highWater_(consumer == Wake::Batch ? (capacity_ + 1) / 2 : 1),
          stop_(stop) {}
    StageQueue(const StageQueue&) = delete;
    StageQueue& operator=(const StageQueue&) = delete;

    // Waits for room; false (the item dropped) once the queue was aborted or stopped.
    bool Push(Item item) {
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
        item = std::move(items_.front());
        items_.pop_front();
        if (producerWaits_ && items_.size() <= lowWater_) {
            room_.notify_one();
        }
        return true;
    }

    // No more items will come.
    void Close() {
        std::lock_guard lock(mutex_);
        closed_ = true;
        ready_.notify_all();
    }

    // Ends every wait at once; what is queued is dropped.
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

  private:
    static constexpr std::chrono::milliseconds kStopPoll{10};

    bool Stopped() const { return aborted_ || (stop_ != nullptr && stop_->load()); }

    // Waits until done() holds; false when the queue was aborted or stopped meanwhile.
    template <typename Done>
    bool Wait(std::unique_lock<std::mutex>& lock, std::condition_variable& signal, Done done) {
        while (!Stopped() && !done()) {
            signal.wait_for(lock, kStopPoll);
        }
        return !Stopped();
    }

    const std::size_t capacity_;
    const std::size_t lowWater_;   // a producer that waits for room wakes at this many items
    const std::size_t highWater_;  // a consumer that waits for items wakes at this many
    const std::atomic<bool>* stop_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::condition_variable room_;
    std::deque<Item> items_;
    bool producerWaits_ = false;
    bool consumerWaits_ = false;
    bool closed_ = false;
    bool aborted_ = false;
};

}  // namespace ostrel::engine::ff
