// The serial queue: items carry their serial and its target, a flush drops what is queued and
// leaves everything made before it recognisably stale, and waits end on a flush or the stop.
#include "engine/ffmpeg/serial_queue.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace ostrel::engine::ff {
namespace {

using namespace std::chrono_literals;

TEST(SerialQueue, AFlushDropsWhatWasQueuedAndStampsTheNewSerial) {
    std::stop_source stop;
    SerialQueue<int> queue(8, stop.get_token());
    ASSERT_TRUE(queue.Push(1, 100));
    ASSERT_TRUE(queue.Push(2, 50));
    EXPECT_EQ(queue.Bytes(), 150);
    queue.Flush(7'000'000);
    EXPECT_EQ(queue.Size(), 0u);
    EXPECT_EQ(queue.Bytes(), 0);
    EXPECT_TRUE(queue.PushOf(0, 3)) << "made before the flush: dropped, not an error";
    ASSERT_TRUE(queue.PushOf(1, 4));
    ASSERT_TRUE(queue.Push(5, 10));
    struct Expected {
        int item;
        int serial;
        std::int64_t targetUs;
    };
    for (const Expected& e : {Expected{4, 1, 7'000'000}, Expected{5, 1, 7'000'000}}) {
        SerialQueue<int>::Entry entry;
        ASSERT_TRUE(queue.TryPop(entry));
        EXPECT_EQ(entry.item, e.item);
        EXPECT_EQ(entry.serial, e.serial);
        EXPECT_EQ(entry.targetUs, e.targetUs);
    }
    EXPECT_EQ(queue.Bytes(), 0);
    SerialQueue<int>::Entry entry;
    EXPECT_FALSE(queue.TryPop(entry));
}

// A producer waiting for room with an item of the old serial gives up at the flush; a
// consumer waiting for an item ends at the stop.
TEST(SerialQueue, WaitsEndAtAFlushOrTheStop) {
    std::stop_source stop;
    SerialQueue<int> queue(1, stop.get_token());
    ASSERT_TRUE(queue.PushOf(0, 1));
    auto producer = std::async(std::launch::async, [&] { return queue.PushOf(0, 2); });
    EXPECT_EQ(producer.wait_for(50ms), std::future_status::timeout);
    queue.Flush(0);
    ASSERT_EQ(producer.wait_for(2s), std::future_status::ready);
    EXPECT_TRUE(producer.get());
    EXPECT_EQ(queue.Size(), 0u) << "the stale item was not queued";

    auto consumer = std::async(std::launch::async, [&] {
        SerialQueue<int>::Entry entry;
        return queue.Pop(entry);
    });
    EXPECT_EQ(consumer.wait_for(50ms), std::future_status::timeout);
    stop.request_stop();
    ASSERT_EQ(consumer.wait_for(2s), std::future_status::ready);
    EXPECT_FALSE(consumer.get());
}

}  // namespace
}  // namespace ostrel::engine::ff
