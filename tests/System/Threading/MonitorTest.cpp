#include "System/Threading/Monitor.h"

#include <gtest/gtest.h>

namespace System::Threading {
namespace {

TEST(Monitor, CountsEnterAndSuccessfulTryEnterUntilExitButNeverBelowZero) {
    Monitor monitor;
    monitor.Exit();
    EXPECT_EQ(monitor.GetNumCallers(), 0);
    monitor.Enter();
    EXPECT_EQ(monitor.GetNumCallers(), 1);
    monitor.Exit();
    monitor.Exit();
    EXPECT_EQ(monitor.GetNumCallers(), 0);

    ASSERT_TRUE(monitor.TryEnter());
    EXPECT_EQ(monitor.GetNumCallers(), 1);
    monitor.Wait();
    monitor.Notify();
    monitor.NotifyAll();
    EXPECT_EQ(monitor.GetNumCallers(), 1);
    monitor.Exit();
    EXPECT_EQ(monitor.GetNumCallers(), 0);
}

}  // namespace
}  // namespace System::Threading
