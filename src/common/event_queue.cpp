#include "common/event_queue.h"

#include <utility>

namespace ostrel {

void EventQueue::Post(std::function<void()> event) {
    // Notify while holding the lock: the owner may destroy the queue as soon as it has seen the
    // event, and the condition variable must not be touched after that.
    const std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
    ready_.notify_one();
}

engine::EventPoster EventQueue::Poster() {
    return [this](std::function<void()> event) { Post(std::move(event)); };
}

int EventQueue::RunPending(std::chrono::milliseconds timeout) {
    std::deque<std::function<void()>> batch;
    {
        std::unique_lock lock(mutex_);
        ready_.wait_for(lock, timeout, [this] { return !events_.empty(); });
        batch.swap(events_);
    }
    for (auto& event : batch) {
        event();
    }
    return static_cast<int>(batch.size());
}

bool EventQueue::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        std::unique_lock lock(mutex_);
        if (!ready_.wait_until(lock, deadline, [this] { return !events_.empty(); })) {
            return false;
        }
        auto event = std::move(events_.front());
        events_.pop_front();
        lock.unlock();
        event();
    }
    return true;
}

}  // namespace ostrel
