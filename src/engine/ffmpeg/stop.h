// One stop per conversion task or opened media: a std::stop_source whose token reaches the
// input's interrupt callback, every queue and every wait of the threads that serve it, so a
// stop ends them all at once without any of them looking at a flag on a timer.
//
// A task also stops when the whole run is stopped: LinkedStop requests the task's stop when
// the run's token is stopped, for as long as it lives.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <stop_token>
#include <utility>

namespace ostrel::engine::ff {

class LinkedStop {
  public:
    // parent may be a token that can never stop (default constructed).
    explicit LinkedStop(std::stop_token parent)
        : link_(std::in_place, std::move(parent), Requester{&source_}) {}
    LinkedStop(const LinkedStop&) = delete;
    LinkedStop& operator=(const LinkedStop&) = delete;

    std::stop_token Token() const { return source_.get_token(); }
    void Request() { source_.request_stop(); }
    bool Requested() const { return source_.stop_requested(); }

  private:
    struct Requester {
        std::stop_source* source;
        void operator()() const { source->request_stop(); }
    };
    std::stop_source source_;  // before the link: it outlives the callback
    std::optional<std::stop_callback<Requester>> link_;
};

// Sleeps until the deadline, the stop or Wake(). For threads that wait for a time (a picture's
// display time) and must end at a stop.
class StopSleeper {
  public:
    template <typename Clock, typename Duration>
    void SleepUntil(const std::stop_token& stop,
                    const std::chrono::time_point<Clock, Duration>& deadline) {
        std::unique_lock lock(mutex_);
        signal_.wait_until(lock, stop, deadline, [this] { return woken_; });
        woken_ = false;
    }
    void Wake() {
        {
            std::lock_guard lock(mutex_);
            woken_ = true;
        }
        signal_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable_any signal_;
    bool woken_ = false;
};

// A run's pause: while it is set, the reading thread of every task waits here (the later stages
// then wait at their empty queues) and no new task starts. A stop ends the wait at once.
class PauseGate {
  public:
    void Set(bool paused) {
        {
            std::lock_guard lock(mutex_);
            paused_ = paused;
        }
        resumed_.notify_all();
    }
    // False when the wait ended by the stop.
    bool WaitWhilePaused(const std::stop_token& stop) {
        std::unique_lock lock(mutex_);
        return resumed_.wait(lock, stop, [this] { return !paused_; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable_any resumed_;
    bool paused_ = false;
};

}  // namespace ostrel::engine::ff
