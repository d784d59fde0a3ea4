#include "System/EventManager.h"
#include "System/Timer.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace System {
namespace {

std::atomic<double> gNow{1000.0};
double FakeNow() {
    return gNow.load();
}

class TimerThreadsTest : public ::testing::Test {
  protected:
    void SetUp() override { Timer::SetClock(&FakeNow); }
    void TearDown() override { Timer::SetClock(nullptr); }

    // One main-loop frame, one second after the previous one.
    static void Frame() {
        gNow = gNow.load() + 1.0;
        Timer::SigTimer();
    }
};

class Ticks {
  public:
    explicit Ticks(Timer& timer) { mEvents.Add(timer.OnTick, this, &Ticks::OnTick); }
    void OnTick() { ++mCount; }
    std::atomic<int> mCount{0};

  private:
    EventManager mEvents;
};

TEST_F(TimerThreadsTest, TimerStoppedFromAnotherThreadNeverFiresAfterwards) {
    for (int round = 0; round < 20; ++round) {
        Timer timer;
        Ticks ticks(timer);
        timer.SetInterval(0.5);
        timer.Start();
        std::atomic<bool> stopped{false};
        std::thread stopper([&] {
            while (ticks.mCount.load() < 3) {
                std::this_thread::yield();
            }
            timer.Stop();
            stopped = true;
        });
        EXPECT_TRUE(TestSupport::WaitUntil([&] {
            Frame();
            return stopped.load();
        }));
        stopper.join();
        // Every frame from here on begins after Stop returned.
        const int ticksAtStop = ticks.mCount.load();
        for (int i = 0; i < 50; ++i) {
            Frame();
        }
        EXPECT_EQ(ticks.mCount.load(), ticksAtStop);
        EXPECT_FALSE(timer.IsEnabled());
    }
}

TEST_F(TimerThreadsTest, TimersStartedAndStoppedFromManyThreadsWhileTheMainLoopRuns) {
    constexpr int kThreads = 4;
    std::vector<Timer> timers(kThreads);
    Timer shared;
    Ticks sharedTicks(shared);
    std::atomic<int> done{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                timers[t].Start();
                timers[t].SetInterval(0.5);
                timers[t].Stop();
                shared.Start();
            }
            timers[t].Start();
            ++done;
        });
    }
    while (done.load() < kThreads) {
        Frame();
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (const Timer& timer : timers) {
        EXPECT_TRUE(timer.IsEnabled());
    }
    // However often it was started, the shared timer is in the list once.
    const int before = sharedTicks.mCount.load();
    Frame();
    EXPECT_EQ(sharedTicks.mCount.load(), before + 1);
}

}  // namespace
}  // namespace System
