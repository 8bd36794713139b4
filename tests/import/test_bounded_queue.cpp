// The queue between the reading and the writing thread of a run: a side
// that waits (for room, for an item) wakes when the other side gives up or
// when a stop is asked from outside, and the limit in bytes lets one large
// item through.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>

#include "import/bounded_queue.h"

namespace crv::test {
namespace {

TEST(BoundedQueue, AWaitingSideWakesWhenTheOtherGivesUpOrAStopIsAsked)
{
    const struct {
        const char* name;
        bool producerWaits;  // the queue is full and a push waits; else it is empty and a pop waits
        bool byStop;         // the outside stop ends the wait; else close()
    } cases[] = {
        {"push, close", true, false},
        {"push, stop", true, true},
        {"pop, close", false, false},
        {"pop, stop", false, true},
    };
    for (const auto& c : cases) {
        std::atomic<bool> stop{false};
        BoundedQueue<std::string> queue(2, 1 << 20, [&] { return stop.load(); });
        if (c.producerWaits) {
            ASSERT_TRUE(queue.push("uno", 10));
            ASSERT_TRUE(queue.push("due", 10));
        }
        auto waiting = std::async(std::launch::async, [&] {
            return c.producerWaits ? queue.push("tre", 10) : queue.pop().has_value();
        });
        // Not done before it was told: the side really waits.
        EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout) << c.name;
        if (c.byStop)
            stop = true;
        else
            queue.close();
        ASSERT_EQ(waiting.wait_for(std::chrono::seconds(5)), std::future_status::ready) << c.name;
        EXPECT_FALSE(waiting.get()) << c.name << ": the item went through a queue given up";
        EXPECT_TRUE(queue.closed()) << c.name;
        EXPECT_FALSE(queue.push("dopo", 1)) << c.name;
        EXPECT_FALSE(queue.pop().has_value()) << c.name << ": what was queued is dropped";
    }
}

TEST(BoundedQueue, ItemsComeInOrderWithinTheLimits)
{
    BoundedQueue<int> queue(3, 100, {});
    // A first item larger than the limit goes in alone.
    ASSERT_TRUE(queue.push(1, 1000));
    auto second = std::async(std::launch::async, [&] { return queue.push(2, 60); });
    EXPECT_EQ(second.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout) << "over the byte limit";
    EXPECT_EQ(queue.pop(), 1);
    ASSERT_EQ(second.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_TRUE(second.get());
    ASSERT_TRUE(queue.push(3, 30));
    EXPECT_EQ(queue.pop(), 2);
    EXPECT_EQ(queue.pop(), 3);
}

// A waiting side is woken for a handful of items, not for each; a lone item
// still reaches it within the poll, and at once when it is urgent (the first
// case, the end of the file).
TEST(BoundedQueue, ALoneItemReachesAWaitingSide)
{
    for (const bool subito : {true, false}) {
        BoundedQueue<int> queue(16, 1 << 20, {});
        auto waiting = std::async(std::launch::async, [&] { return queue.pop(); });
        ASSERT_EQ(waiting.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
        const auto pushed = std::chrono::steady_clock::now();
        ASSERT_TRUE(queue.push(7, 10, subito));
        ASSERT_EQ(waiting.wait_for(std::chrono::seconds(5)), std::future_status::ready) << subito;
        EXPECT_EQ(waiting.get(), 7);
        const auto late = std::chrono::steady_clock::now() - pushed;
        // Generous: a loaded machine may be slow to switch, never a second.
        EXPECT_LT(late, std::chrono::seconds(1)) << subito;
    }
}

}  // namespace
}  // namespace crv::test
