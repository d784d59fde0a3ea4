#include "System/EventManager.h"
#include "System/Threading/ThreadManager.h"

#include <gtest/gtest.h>

namespace System::Threading {
namespace {

class Counter {
  public:
    void OnAll() { ++mAll; }
    void OnOne(Thread*) { ++mOne; }
    int mAll = 0;
    int mOne = 0;
};

TEST(ThreadManager, CreateThreadsGrowsAndShrinksTheGroupToExactlyN) {
    ThreadManager manager;
    manager.CreateThreads<Thread>(1);
    ASSERT_EQ(manager.GetNumThread(), 1u);
    Thread* first = manager.GetThread(0);
    ASSERT_NE(first, nullptr);

    manager.CreateThreads<Thread>(1);
    EXPECT_EQ(manager.GetNumThread(), 1u);
    EXPECT_EQ(manager.GetThread(0), first);

    manager.CreateThreads<Thread>(3);
    ASSERT_EQ(manager.GetNumThread(), 3u);
    EXPECT_EQ(manager.GetThread(0), first);
    EXPECT_NE(manager.GetThread(2), nullptr);
    EXPECT_EQ(manager.GetThread(3), nullptr);

    manager.CreateThreads<Thread>(1);
    EXPECT_EQ(manager.GetNumThread(), 1u);
    EXPECT_EQ(manager.GetThread(0), first);
    EXPECT_EQ(manager.GetThread(1), nullptr);

    manager.CreateThreads<Thread>(0);
    EXPECT_EQ(manager.GetNumThread(), 0u);
    EXPECT_EQ(manager.GetThread(0), nullptr);
}

TEST(ThreadManager, AnEmptyGroupStartsWithoutEventsAndStopClearsSuspension) {
    ThreadManager manager;
    Counter counter;
    EventManager events;
    events.Add(manager.OnAllThreadsFinished, &counter, &Counter::OnAll);
    events.Add(manager.OnThreadFinished, &counter, &Counter::OnOne);
    EXPECT_TRUE(manager.Start());
    EXPECT_EQ(manager.GetNumRunning(), 0u);
    manager.Suspend();
    EXPECT_TRUE(manager.IsSuspended());
    manager.Resume();
    EXPECT_FALSE(manager.IsSuspended());
    manager.Suspend();
    manager.Stop(true);
    EXPECT_FALSE(manager.IsSuspended());
    EXPECT_EQ(counter.mAll + counter.mOne, 0);
}

}  // namespace
}  // namespace System::Threading
