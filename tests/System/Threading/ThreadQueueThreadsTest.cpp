#include "System/Threading/ThreadQueue.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace System::Threading {
namespace {

TEST(ThreadQueueThreads, SeveralProducersAndOneConsumerLoseNothing) {
    constexpr int kProducers = 4;
    constexpr int kItems = 5000;
    ThreadQueue<int> queue;  // 0 is the empty queue's answer, so items start at 1

    std::vector<int> received;
    std::thread consumer([&] {
        while (received.size() < kProducers * kItems) {
            const int item = queue.Dequeue();
            if (item == 0) {
                std::this_thread::yield();
            } else {
                received.push_back(item);
            }
        }
    });
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p) {
        producers.emplace_back([&queue, p] {
            for (int i = 1; i <= kItems; ++i) {
                queue.Enqueue(p * kItems + i);
            }
        });
    }
    for (auto& producer : producers) {
        producer.join();
    }
    consumer.join();

    // Every item once, and each producer's items in the order it enqueued them.
    std::vector<int> last(kProducers, 0);
    for (const int item : received) {
        const int producer = (item - 1) / kItems;
        const int sequence = (item - 1) % kItems + 1;
        ASSERT_EQ(sequence, last[producer] + 1) << "item " << item;
        last[producer] = sequence;
    }
    for (int p = 0; p < kProducers; ++p) {
        EXPECT_EQ(last[p], kItems);
    }
    EXPECT_EQ(queue.Dequeue(), 0);
}

// Each item or wake reaches a consumer blocked in WaitDequeue; none is lost between its
// test of the queue and its wait.
TEST(ThreadQueueThreads, ABlockedConsumerWakesForEveryItemAndForAWake) {
    constexpr int kItems = 2000;
    ThreadQueue<int> queue;
    std::vector<int> received;
    std::atomic<int> count{0};
    std::thread consumer([&] {
        while (const int item = queue.WaitDequeue()) {
            received.push_back(item);
            ++count;
        }
    });
    for (int i = 1; i <= kItems; ++i) {
        queue.Enqueue(i);
        if (i % 100 == 0) {
            std::this_thread::yield();
        }
    }
    ASSERT_TRUE(TestSupport::WaitUntil([&] { return count.load() == kItems; }));
    queue.Wake();
    consumer.join();
    ASSERT_EQ(received.size(), static_cast<size_t>(kItems));
    for (int i = 0; i < kItems; ++i) {
        ASSERT_EQ(received[i], i + 1);
    }
}

}  // namespace
}  // namespace System::Threading
