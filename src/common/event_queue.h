// A queue of engine events drained on one thread: the engine's threads post into it through
// Poster(), and the owning thread runs the events in the order they arrived. The headless
// converter and the tests use it as their event loop; the window uses Qt's own.
//
// Lifetime: the poster captures the queue, so the queue must outlive every object it was given
// to. Declare it before the engine object it serves, so that it is destroyed after the engine
// has joined its threads.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "engine/engine.h"

namespace ostrel {

class EventQueue {
  public:
    EventQueue() = default;
    EventQueue(const EventQueue&) = delete;
    EventQueue& operator=(const EventQueue&) = delete;

    // Safe to call from any thread.
    void Post(std::function<void()> event);
    engine::EventPoster Poster();

    // Runs the events that have arrived, waiting up to timeout for the first one. Returns how
    // many ran.
    int RunPending(std::chrono::milliseconds timeout);
    // Runs events one by one until done() is true (checked before each) or the timeout passes;
    // false on timeout.
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

  private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> events_;
};

}  // namespace ostrel
