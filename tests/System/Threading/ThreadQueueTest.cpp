#include "System/Threading/ThreadQueue.h"

#include <gtest/gtest.h>

namespace System::Threading {
namespace {

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
