#include "System/Threading/ThreadQueue.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace System::Threading {
namespace {

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

    std::vector<int> last(kProducers, 0);
    for (const int item : received) {
        const int producer = (item - 1) / kItems;
        const int sequence = (item - 1) % kItems + 1;
        ASSERT_EQ(sequence, last[producer] + 1) << "item " << item;
        last[producer] = sequence;
    }
}

}  // namespace
}  // namespace System::Threading
