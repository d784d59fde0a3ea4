#include "System/Threading/ThreadQueue.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using System::Threading::ThreadQueue;

TEST(ThreadQueue, DequeuesInEnqueueOrderThenNull) {
    int a = 1, b = 2, c = 3;
    ThreadQueue<int*> queue;
    queue.Enqueue(&a);
    queue.Enqueue(&b);
    queue.Enqueue(&c);
    EXPECT_EQ(queue.Dequeue(), &a);
    EXPECT_EQ(queue.Dequeue(), &b);
    queue.Enqueue(&a);
    EXPECT_EQ(queue.Dequeue(), &c);
    EXPECT_EQ(queue.Dequeue(), &a);
    EXPECT_EQ(queue.Dequeue(), nullptr);
    EXPECT_EQ(queue.Dequeue(), nullptr);
}

TEST(ThreadQueue, ClearAndDestructionLeaveThePointedToItemsAlone) {
    // Held by unique_ptr: a queue that deleted them would make AddressSanitizer
    // report a double free.
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
    EXPECT_EQ(*first, 1);
    EXPECT_EQ(*second, 2);
}

TEST(ThreadQueue, EmptyQueueOfValuesGivesTheDefaultValue) {
    ThreadQueue<int> queue;
    EXPECT_EQ(queue.Dequeue(), 0);
    queue.Enqueue(7);
    EXPECT_EQ(queue.Dequeue(), 7);
    EXPECT_EQ(queue.Dequeue(), 0);
}

}  // namespace
