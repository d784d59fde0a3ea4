#include "System/Threading/ThreadQueue.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace System::Threading {
namespace {

// Every item once, and each producer's items in the order it enqueued them: producer p
// enqueues p * items + 1 up to p * items + items.
void ExpectEveryItemOnceInProducerOrder(const std::vector<int>& received, int producers,
                                        int items) {
    std::vector<int> last(static_cast<size_t>(producers), 0);
    for (const int item : received) {
        const int producer = (item - 1) / items;
        ASSERT_TRUE(item > 0 && producer < producers) << "item " << item;
        const int sequence = (item - 1) % items + 1;
        ASSERT_EQ(sequence, last[static_cast<size_t>(producer)] + 1) << "item " << item;
        last[static_cast<size_t>(producer)] = sequence;
    }
    EXPECT_EQ(last, std::vector<int>(static_cast<size_t>(producers), items));
}

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

    ExpectEveryItemOnceInProducerOrder(received, kProducers, kItems);
    EXPECT_EQ(queue.Dequeue(), 0);
}

// Each item reaches a consumer blocked in WaitDequeue, none lost between its test of the
// queue and its wait, and each producer's items come in the order it enqueued them.
TEST(ThreadQueueThreads, ABlockedConsumerGetsEveryItemOfSeveralProducersInTheirOrder) {
    constexpr int kProducers = 4;
    constexpr int kItems = 2000;
    ThreadQueue<int> queue;  // 0 is the answer to a wake, so items start at 1
    std::vector<int> received;
    std::atomic<int> count{0};
    std::thread consumer([&] {
        while (const int item = queue.WaitDequeue()) {
            received.push_back(item);
            ++count;
        }
    });
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p) {
        producers.emplace_back([&queue, p] {
            for (int i = 1; i <= kItems; ++i) {
                queue.Enqueue(p * kItems + i);
                if (i % 100 == 0) {
                    std::this_thread::yield();
                }
            }
        });
    }
    for (auto& producer : producers) {
        producer.join();
    }
    ASSERT_TRUE(TestSupport::WaitUntil([&] { return count.load() == kProducers * kItems; }));
    queue.Wake();
    consumer.join();

    ExpectEveryItemOnceInProducerOrder(received, kProducers, kItems);
}

}  // namespace
}  // namespace System::Threading
