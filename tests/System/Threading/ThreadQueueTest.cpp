#include "System/Threading/ThreadQueue.h"

#include <gtest/gtest.h>

#include <memory>

namespace System::Threading {
namespace {

TEST(ThreadQueue, DequeuesInEnqueueOrderThenTheDefaultValue) {
    ThreadQueue<int> values;
    EXPECT_EQ(values.Dequeue(), 0);
    for (int value : {1, 2, 3}) {
        values.Enqueue(value);
    }
    EXPECT_EQ(values.Dequeue(), 1);
    values.Enqueue(4);
    EXPECT_EQ(values.Dequeue(), 2);
    EXPECT_EQ(values.Dequeue(), 3);
    EXPECT_EQ(values.Dequeue(), 4);
    EXPECT_EQ(values.Dequeue(), 0);
}

TEST(ThreadQueue, ClearAndDestructionLeaveThePointedToItemsAlone) {
    // Owned here: a queue that deleted them would make AddressSanitizer report a double free.
    auto first = std::make_unique<int>(1);
    auto second = std::make_unique<int>(2);
    {
        ThreadQueue<int*> queue;
        queue.Enqueue(first.get());
        queue.Clear();
        EXPECT_EQ(queue.Dequeue(), nullptr);
        queue.Enqueue(first.get());
        queue.Enqueue(second.get());
    }
    EXPECT_EQ(*first + *second, 3);
}

// A wake given before the consumer waits is kept for it: a stop requested between the
// consumer's test of its state and its wait still ends the wait.
TEST(ThreadQueue, WaitDequeueTakesItemsAndReturnsTheDefaultValueOnceForAWake) {
    ThreadQueue<int> values;
    values.Enqueue(1);
    EXPECT_EQ(values.WaitDequeue(), 1);
    values.Wake();
    values.Wake();
    values.Enqueue(2);
    EXPECT_EQ(values.WaitDequeue(), 0);
    EXPECT_EQ(values.WaitDequeue(), 2);
}

}  // namespace
}  // namespace System::Threading
