#include "System/Threading/Thread.h"

#include <gtest/gtest.h>

#include <chrono>

namespace System::Threading {
namespace {

TEST(Thread, StopOfAThreadNeverStartedReturnsAtOnce) {
    Thread thread;
    thread.Stop(true);
    thread.Stop(false);
    EXPECT_EQ(thread.GetThreadState(), 0);
}

TEST(Thread, SleepOfOneSecondOrMoreSleepsThatLong) {
    // Only a lower bound, which a sleep cannot undercut: a nanosecond count of one
    // second or more used to make the sleep return at once.
    const auto start = std::chrono::steady_clock::now();
    Thread::Sleep(1000000);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    Thread::Sleep(0);
}

}  // namespace
}  // namespace System::Threading
