#include "System/Threading/Monitor.h"

#include <gtest/gtest.h>

#include <thread>

namespace System::Threading {
namespace {

TEST(MonitorThreads, TryEnterFailsAtOnceWhileAnotherThreadHoldsIt) {
    Monitor monitor;
    monitor.Enter();
    bool taken = true;
    std::thread([&] { taken = monitor.TryEnter(); }).join();
    EXPECT_FALSE(taken);
    EXPECT_EQ(monitor.GetNumCallers(), 1);
    monitor.Exit();
}

}  // namespace
}  // namespace System::Threading
