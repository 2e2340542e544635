// The hand-over queue between the engine's threads: what it delivers, when a full queue lets its
// producer go on, and how fast every way of stopping reaches a thread that waits on it.
#include "engine/ffmpeg/bounded_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace ostrel::engine::testing {
namespace {

using ff::BoundedQueue;
using Clock = std::chrono::steady_clock;

// Waits until done() holds or a second has passed.
bool WaitFor(const std::function<bool()>& done) {
    const auto deadline = Clock::now() + std::chrono::seconds(1);
    while (!done() && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

TEST(BoundedQueue, DeliversEveryItemInOrderAndThenTheEnd) {
    BoundedQueue<int> queue(3, {});
    std::jthread producer([&queue] {
        for (int i = 0; i < 100; ++i) {
            ASSERT_TRUE(queue.Push(i));
        }
        queue.Close();
    });
    std::vector<int> taken;
    int item = -1;
    while (queue.Pop(item)) {
        taken.push_back(item);
    }
    ASSERT_EQ(taken.size(), 100u);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(taken[static_cast<std::size_t>(i)], i);
    }
}

// A producer that found the queue full goes on once it is half empty, not after every item
// taken: each wake-up is a thread switch.
TEST(BoundedQueue, AFullQueueLetsItsProducerGoOnWhenHalfEmpty) {
    BoundedQueue<int> queue(4, {});
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(queue.Push(i));
    }
    std::atomic<bool> pushed{false};
    std::jthread producer([&] {
        EXPECT_TRUE(queue.Push(4));
        pushed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ASSERT_FALSE(pushed) << "pushed into a full queue";
    int item = -1;
    ASSERT_TRUE(queue.Pop(item));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(pushed) << "woken with three of four places taken";
    ASSERT_TRUE(queue.Pop(item));
    EXPECT_TRUE(WaitFor([&] { return pushed.load(); }));
    producer.join();
    queue.Close();
    std::vector<int> rest;
    while (queue.Pop(item)) {
        rest.push_back(item);
    }
    EXPECT_EQ(rest, (std::vector<int>{2, 3, 4}));
}

// A queue made for batches wakes its waiting consumer once half of it is filled, or at the end
// with whatever is left.
TEST(BoundedQueue, ABatchConsumerWakesWhenHalfFullOrClosed) {
    BoundedQueue<int> queue(4, {}, BoundedQueue<int>::Wake::Batch);
    std::atomic<int> taken{0};
    std::jthread consumer([&] {
        int item = -1;
        while (queue.Pop(item)) {
            ++taken;
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the consumer waits
    ASSERT_TRUE(queue.Push(0));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(taken, 0) << "woken for one item of four";
    ASSERT_TRUE(queue.Push(1));
    EXPECT_TRUE(WaitFor([&] { return taken == 2; }));
    ASSERT_TRUE(queue.Push(2));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(taken, 2);
    queue.Close();
    EXPECT_TRUE(WaitFor([&] { return taken == 3; }));
}

// Abort (a stage failed) and the task's stop both end the wait of a producer at a full
// queue and of a consumer at an empty one, at once: the stop wakes the wait itself.
TEST(BoundedQueue, EveryWayOfStoppingEndsBothWaitsAtOnce) {
    enum class Stop { Abort, Token };
    struct Case {
        const char* name;
        Stop stop;
        bool producer;  // else the consumer waits
    };
    const std::vector<Case> cases = {
        {"abort, producer", Stop::Abort, true},
        {"abort, consumer", Stop::Abort, false},
        {"stop, producer", Stop::Token, true},
        {"stop, consumer", Stop::Token, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::stop_source stop;
        BoundedQueue<int> queue(1, stop.get_token());
        if (c.producer) {
            ASSERT_TRUE(queue.Push(0));
        }
        std::atomic<bool> ended{false};
        std::atomic<bool> result{true};
        std::jthread waiter([&] {
            int item = -1;
            result = c.producer ? queue.Push(1) : queue.Pop(item);
            ended = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        ASSERT_FALSE(ended);
        const auto stopped = Clock::now();
        if (c.stop == Stop::Abort) {
            queue.Abort();
        } else {
            stop.request_stop();
        }
        ASSERT_TRUE(WaitFor([&] { return ended.load(); }));
        EXPECT_LT(Clock::now() - stopped, std::chrono::milliseconds(50));
        EXPECT_FALSE(result);
        int item = -1;
        EXPECT_FALSE(queue.Push(2));
        EXPECT_FALSE(queue.Pop(item));
    }
}

}  // namespace
}  // namespace ostrel::engine::testing
