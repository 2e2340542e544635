// The player's hand-over points between its threads: bounded packet queues from the read
// thread to each decoder, small frame queues from each decoder to the presentation thread or
// the audio output, and the clocks they are timed by.
//
// Every packet and frame carries the serial of its queue at the time it was read: a seek
// flushes the packet queues and raises their serial, so everything read before it is
// recognised as stale wherever it is and dropped.
#pragma once

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "engine/ffmpeg/av_util.h"

namespace ostrel::engine::ff {

// Seconds on a monotonic clock, the time base of every clock of the player.
inline double NowSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// A packet on its way to a decoder; a null packet marks the end of the stream (drain).
struct QueuedPacket {
    PacketPtr packet;
    int serial = 0;
};

class PacketQueue {
  public:
    // Queues a packet (null: the end of the stream) under the current serial.
    void Put(PacketPtr packet) {
        std::lock_guard lock(mutex_);
        if (aborted_) {
            return;
        }
        if (packet) {
            bytes_ += packet->size;
            ++packets_;
        }
        items_.push_back({std::move(packet), serial_.load()});
        ready_.notify_one();
    }

    // Drops every queued packet and starts a new serial; targetUs (media time) is where the
    // decoders of the new serial start showing or playing.
    void Flush(std::int64_t targetUs) {
        std::lock_guard lock(mutex_);
        items_.clear();
        bytes_ = 0;
        packets_ = 0;
        target_ = targetUs;
        serial_.fetch_add(1);
        ready_.notify_all();
    }

    // Waits for the next packet; false once aborted. target is the start position of the
    // packet's serial.
    bool Get(QueuedPacket& out, std::int64_t& target) {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [this] { return aborted_ || !items_.empty(); });
        if (aborted_) {
            return false;
        }
        out = std::move(items_.front());
        items_.pop_front();
        if (out.packet) {
            bytes_ -= out.packet->size;
            --packets_;
        }
        target = target_;
        return true;
    }

    void Abort() {
        std::lock_guard lock(mutex_);
        aborted_ = true;
        ready_.notify_all();
    }
    // Empty, serial 0, ready for the next media (no thread may be using the queue).
    void Reset() {
        std::lock_guard lock(mutex_);
        items_.clear();
        bytes_ = 0;
        packets_ = 0;
        target_ = 0;
        aborted_ = false;
        serial_ = 0;
    }

    int Serial() const { return serial_.load(); }
    const std::atomic<int>* SerialAddress() const { return &serial_; }
    std::int64_t Bytes() const {
        std::lock_guard lock(mutex_);
        return bytes_;
    }
    int Packets() const {
        std::lock_guard lock(mutex_);
        return packets_;
    }

  private:
    mutable std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<QueuedPacket> items_;
    std::int64_t bytes_ = 0;
    int packets_ = 0;
    std::int64_t target_ = 0;
    bool aborted_ = false;
    std::atomic<int> serial_{0};
};

// A decoded frame and its time in seconds of media time (from the media's start).
struct QueuedFrame {
    FramePtr frame;
    double pts = NAN;
    double duration = 0.0;
    int serial = 0;
};

// A small bounded queue of decoded frames with one writer and one reader.
template <typename Entry>
class FrameQueue {
  public:
    explicit FrameQueue(std::size_t capacity) : capacity_(capacity) {}

    // Waits for room; false when aborted or when stale() says the entry is no longer wanted
    // (a seek happened while the queue was full).
    template <typename Stale>
    bool Push(std::shared_ptr<Entry> entry, const Stale& stale) {
        std::unique_lock lock(mutex_);
        while (!aborted_ && items_.size() >= capacity_) {
            if (stale()) {
                return true;  // dropped: the reader would skip it anyway
            }
            room_.wait_for(lock, std::chrono::milliseconds(10));
        }
        if (aborted_) {
            return false;
        }
        items_.push_back(std::move(entry));
        return true;
    }

    // The entry shown or played next and the one after it; null when there is none.
    std::shared_ptr<Entry> Front() const {
        std::lock_guard lock(mutex_);
        return items_.empty() ? nullptr : items_.front();
    }
    std::shared_ptr<Entry> Second() const {
        std::lock_guard lock(mutex_);
        return items_.size() < 2 ? nullptr : items_[1];
    }
    void Pop() {
        std::lock_guard lock(mutex_);
        if (!items_.empty()) {
            items_.pop_front();
        }
        room_.notify_one();
    }
    std::size_t Size() const {
        std::lock_guard lock(mutex_);
        return items_.size();
    }
    void Abort() {
        std::lock_guard lock(mutex_);
        aborted_ = true;
        room_.notify_all();
    }
    void Reset() {
        std::lock_guard lock(mutex_);
        items_.clear();
        aborted_ = false;
    }

  private:
    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable room_;
    std::deque<std::shared_ptr<Entry>> items_;
    bool aborted_ = false;
};

// A clock that runs in real time from the last time it was set, as ffplay's clocks do. A clock
// set for a serial that its queue has since left reads NaN. Not synchronised: the player
// guards its clocks with its own mutex.
class Clock {
  public:
    explicit Clock(const std::atomic<int>* queueSerial = nullptr) : queueSerial_(queueSerial) {}

    double Get(double now) const {
        if (queueSerial_ != nullptr && queueSerial_->load() != serial_) {
            return NAN;
        }
        if (paused_) {
            return pts_;
        }
        return ptsDrift_ + now;
    }
    void SetAt(double pts, int serial, double time) {
        pts_ = pts;
        lastUpdated_ = time;
        ptsDrift_ = pts - time;
        serial_ = serial;
    }
    // Freezes or thaws the clock at its current reading.
    void SetPaused(bool paused, double now) {
        const double value = Get(now);
        paused_ = paused;
        if (!std::isnan(value)) {
            SetAt(value, serial_, now);
        }
    }
    void Invalidate() {
        pts_ = NAN;
        ptsDrift_ = NAN;
        serial_ = -1;
    }
    int Serial() const { return serial_; }
    // A clock without a queue follows another clock when it has none or drifted away.
    void FollowIfApart(const Clock& other, double now, double maxApart) {
        const double mine = Get(now);
        const double theirs = other.Get(now);
        if (!std::isnan(theirs) && (std::isnan(mine) || std::fabs(mine - theirs) > maxApart)) {
            SetAt(theirs, other.serial_, now);
        }
    }

  private:
    const std::atomic<int>* queueSerial_;
    double pts_ = NAN;
    double ptsDrift_ = NAN;
    double lastUpdated_ = 0.0;
    int serial_ = -1;
    bool paused_ = false;
};

}  // namespace ostrel::engine::ff
