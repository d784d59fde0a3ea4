#include "System/EventManager.h"
#include "System/Threading/ThreadManager.h"

#include <gtest/gtest.h>

namespace {

using System::Threading::Thread;
using System::Threading::ThreadManager;

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

TEST(ThreadManager, StartingAnEmptyGroupCountsNothingAndRaisesNothing) {
    ThreadManager manager;
    Counter counter;
    System::EventManager events;
    events.Add(manager.OnAllThreadsFinished, &counter, &Counter::OnAll);
    events.Add(manager.OnThreadFinished, &counter, &Counter::OnOne);
    EXPECT_TRUE(manager.Start());
    EXPECT_EQ(manager.GetNumRunning(), 0u);
    manager.Stop(true);
    EXPECT_EQ(counter.mAll, 0);
    EXPECT_EQ(counter.mOne, 0);
}

TEST(ThreadManager, SuspendedFlagFollowsSuspendResumeAndStart) {
    ThreadManager manager;
    manager.CreateThreads<Thread>(2);
    EXPECT_FALSE(manager.IsSuspended());
    manager.Suspend();
    EXPECT_TRUE(manager.IsSuspended());
    manager.Resume();
    EXPECT_FALSE(manager.IsSuspended());
    manager.Suspend();
    manager.Stop(true);
    EXPECT_FALSE(manager.IsSuspended());
}

}  // namespace
