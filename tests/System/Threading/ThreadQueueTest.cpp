#include "System/Threading/ThreadQueue.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace System::Threading
