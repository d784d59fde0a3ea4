#include "System/Threading/ThreadManager.h"

#include <gtest/gtest.h>

namespace System::Threading {
namespace {

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

}  // namespace
}  // namespace System::Threading
