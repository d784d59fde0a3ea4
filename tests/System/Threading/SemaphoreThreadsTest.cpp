#include "System/Threading/Semaphore.h"
#include "System/Threading/Thread.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <atomic>

namespace System::Threading {
namespace {

// A body that handles releases of its semaphore until it is stopped, blocking while
// there are none; Stop wakes it through Wake.
class Waiter : public Thread {
  public:
    void Run() override {
        while (GetThreadState() != 0) {
            mWork.Acquire();
            ++mWoken;
        }
    }
    void Wake() override { mWork.Release(); }

    Semaphore mWork;
    std::atomic<int> mWoken{0};
};

TEST(SemaphoreThreads, ReleasesBeforeTheWaitAreKeptAndEachWakesTheWaiterOnce) {
    Waiter waiter;
    // Released before the body runs at all: neither release may be lost.
    waiter.mWork.Release();
    waiter.mWork.Release();
    ASSERT_EQ(waiter.Start(), 0);
    EXPECT_TRUE(TestSupport::WaitUntil([&waiter] { return waiter.mWoken.load() == 2; }));
    waiter.mWork.Release();
    EXPECT_TRUE(TestSupport::WaitUntil([&waiter] { return waiter.mWoken.load() == 3; }));
    // Stop returns although the body blocks waiting for work.
    waiter.Stop(true);
    EXPECT_EQ(waiter.GetThreadState(), 0);
    EXPECT_EQ(waiter.mWoken.load(), 4);
}

}  // namespace
}  // namespace System::Threading
