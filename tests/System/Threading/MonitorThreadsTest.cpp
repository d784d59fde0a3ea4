#include "System/Threading/Monitor.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace System::Threading {
namespace {

using TestSupport::WaitUntil;

TEST(MonitorThreads, TryEnterFailsAtOnceWhileAnotherThreadHoldsIt) {
    Monitor monitor;
    monitor.Enter();
    bool taken = true;
    std::thread([&] { taken = monitor.TryEnter(); }).join();
    EXPECT_FALSE(taken);
    EXPECT_EQ(monitor.GetNumCallers(), 1);
    monitor.Exit();
}

TEST(MonitorThreads, CountIncludesCallersStillWaiting) {
    Monitor monitor;
    monitor.Enter();
    std::thread waiter([&] {
        monitor.Enter();
        monitor.Exit();
    });
    EXPECT_TRUE(WaitUntil([&] { return monitor.GetNumCallers() == 2; }));
    monitor.Exit();
    waiter.join();
    EXPECT_EQ(monitor.GetNumCallers(), 0);
}

TEST(MonitorThreads, ExcludesConcurrentCallers) {
    Monitor monitor;
    long total = 0;  // guarded by monitor
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                if (i % 2 == 0) {
                    monitor.Enter();
                } else {
                    while (!monitor.TryEnter()) {
                        std::this_thread::yield();
                    }
                }
                ++total;
                monitor.Exit();
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(total, 4 * 20000);
    EXPECT_EQ(monitor.GetNumCallers(), 0);
}

}  // namespace
}  // namespace System::Threading
