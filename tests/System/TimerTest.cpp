#include "System/EventManager.h"
#include "System/Timer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

using System::Timer;

double gNow = 1000.0;
double FakeNow() {
    return gNow;
}

// Drives the timers on a clock of its own and records the ticks it is told of.
class TimerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        gNow = 1000.0;
        Timer::SetClock(&FakeNow);
    }
    void TearDown() override {
        Timer::Pause = false;
        Timer::SetClock(nullptr);
    }

    // Advances the clock to t and runs one frame.
    void FrameAt(double t) {
        gNow = t;
        Timer::SigTimer();
    }
};

// Counts the ticks of one timer and runs an optional action in its handler.
class Ticks {
  public:
    explicit Ticks(Timer& timer, std::string name = "", std::vector<std::string>* log = nullptr)
        : mName(std::move(name)), mLog(log) {
        mEvents.Add(timer.OnTick, this, &Ticks::OnTick);
    }
    void OnTick() {
        ++mCount;
        if (mLog != nullptr) {
            mLog->push_back(mName);
        }
        if (mAction) {
            mAction();
        }
    }

    int mCount = 0;
    std::function<void()> mAction;

  private:
    std::string mName;
    std::vector<std::string>* mLog;
    System::EventManager mEvents;
};

TEST_F(TimerTest, NewTimerIsStoppedWithAnIntervalOfOneSecond) {
    Timer timer;
    EXPECT_FALSE(timer.IsEnabled());
    EXPECT_EQ(timer.GetInterval(), 1.0);
    Ticks ticks(timer);
    FrameAt(5000.0);
    EXPECT_EQ(ticks.mCount, 0);
}

TEST_F(TimerTest, FirstTickComesOneIntervalAfterStart) {
    Timer timer;
    Ticks ticks(timer);
    timer.SetInterval(2.0);
    timer.Start();
    EXPECT_TRUE(timer.IsEnabled());
    FrameAt(1000.0);
    FrameAt(1001.999);
    EXPECT_EQ(ticks.mCount, 0);
    FrameAt(1002.0);
    EXPECT_EQ(ticks.mCount, 1);
    FrameAt(1002.0);
    FrameAt(1003.5);
    EXPECT_EQ(ticks.mCount, 1);
    FrameAt(1004.0);
    EXPECT_EQ(ticks.mCount, 2);
}

TEST_F(TimerTest, LateTimerTicksOnceAndCountsOnFromTheEndOfItsHandlers) {
    Timer timer;
    Ticks ticks(timer);
    ticks.mAction = [] { gNow += 0.25; };  // a handler that takes a quarter second
    timer.Start();
    FrameAt(1010.0);
    EXPECT_EQ(ticks.mCount, 1);
    FrameAt(1011.0);
    FrameAt(1011.2);
    EXPECT_EQ(ticks.mCount, 1);
    FrameAt(1011.25);
    EXPECT_EQ(ticks.mCount, 2);
}

TEST_F(TimerTest, PauseHoldsEveryTickUntilItIsCleared) {
    Timer timer;
    Ticks ticks(timer);
    timer.Start();
    Timer::Pause = true;
    FrameAt(1001.0);
    FrameAt(1005.0);
    EXPECT_EQ(ticks.mCount, 0);
    Timer::Pause = false;
    FrameAt(1005.0);
    EXPECT_EQ(ticks.mCount, 1);
}

TEST_F(TimerTest, StartingTwiceTicksOncePerDueTime) {
    Timer timer;
    Ticks ticks(timer);
    timer.Start();
    timer.Start();
    FrameAt(1001.0);
    EXPECT_EQ(ticks.mCount, 1);
    timer.Stop();
    timer.Stop();
    EXPECT_FALSE(timer.IsEnabled());
    FrameAt(1010.0);
    EXPECT_EQ(ticks.mCount, 1);
}

TEST_F(TimerTest, StopInItsOwnHandlerStopsItAndLaterStartCountsAfresh) {
    Timer timer;
    Ticks ticks(timer);
    ticks.mAction = [&] { timer.Stop(); };
    timer.Start();
    FrameAt(1001.0);
    EXPECT_EQ(ticks.mCount, 1);
    EXPECT_FALSE(timer.IsEnabled());
    FrameAt(1020.0);
    EXPECT_EQ(ticks.mCount, 1);

    ticks.mAction = nullptr;
    timer.Start();
    FrameAt(1020.5);
    EXPECT_EQ(ticks.mCount, 1);
    FrameAt(1021.0);
    EXPECT_EQ(ticks.mCount, 2);
}

TEST_F(TimerTest, TimersDueInOneFrameTickInTheOrderTheyWereStarted) {
    std::vector<std::string> log;
    Timer a;
    Timer b;
    Timer c;
    Ticks ticksA(a, "a", &log);
    Ticks ticksB(b, "b", &log);
    Ticks ticksC(c, "c", &log);
    b.Start();
    a.Start();
    c.Start();
    FrameAt(1001.0);
    EXPECT_EQ(log, (std::vector<std::string>{"b", "a", "c"}));

    // A restarted timer goes last.
    log.clear();
    b.Stop();
    b.Start();
    FrameAt(1002.0);
    EXPECT_EQ(log, (std::vector<std::string>{"a", "c", "b"}));
}

TEST_F(TimerTest, SetIntervalMovesTheNextTickToOneNewIntervalFromNow) {
    Timer timer;
    Ticks ticks(timer);
    timer.Start();
    gNow = 1000.5;
    timer.SetInterval(5.0);
    EXPECT_EQ(timer.GetInterval(), 5.0);
    FrameAt(1001.0);
    FrameAt(1005.4);
    EXPECT_EQ(ticks.mCount, 0);
    FrameAt(1005.5);
    EXPECT_EQ(ticks.mCount, 1);
    EXPECT_TRUE(timer.IsEnabled());
}

TEST_F(TimerTest, IntervalThatIsNotANumberNeverFires) {
    Timer timer;
    Ticks ticks(timer);
    timer.SetInterval(std::numeric_limits<double>::quiet_NaN());
    timer.Start();
    FrameAt(1e9);
    EXPECT_EQ(ticks.mCount, 0);
}

TEST_F(TimerTest, HandlerMayStopOrDestroyTimersLaterInTheWalk) {
    Timer first;
    auto stopped = std::make_unique<Timer>();
    auto destroyed = std::make_unique<Timer>();
    Ticks firstTicks(first);
    Ticks stoppedTicks(*stopped);
    Ticks destroyedTicks(*destroyed);
    first.Start();
    stopped->Start();
    destroyed->Start();
    firstTicks.mAction = [&] {
        stopped->Stop();
        destroyed.reset();
    };
    FrameAt(1001.0);
    EXPECT_EQ(firstTicks.mCount, 1);
    EXPECT_EQ(stoppedTicks.mCount, 0);
    EXPECT_EQ(destroyedTicks.mCount, 0);
}

TEST_F(TimerTest, HandlerMayDestroyItsOwnTimer) {
    auto timer = std::make_unique<Timer>();
    Timer after;
    Ticks ticks(*timer);
    Ticks afterTicks(after);
    ticks.mAction = [&] { timer.reset(); };
    timer->Start();
    after.Start();
    FrameAt(1001.0);
    EXPECT_EQ(ticks.mCount, 1);
    EXPECT_EQ(afterTicks.mCount, 1);
    EXPECT_EQ(timer, nullptr);
}

TEST_F(TimerTest, TimerStartedByAHandlerWaitsForTheNextFrame) {
    Timer first;
    Timer second;
    second.SetInterval(0.0);
    Ticks firstTicks(first);
    Ticks secondTicks(second);
    firstTicks.mAction = [&] { second.Start(); };
    first.Start();
    FrameAt(1001.0);
    EXPECT_EQ(secondTicks.mCount, 0);
    FrameAt(1001.0);
    EXPECT_EQ(secondTicks.mCount, 1);
}

TEST(Timer, GetTimeIsWallClockSeconds) {
    const double seconds = Timer::GetTime();
    EXPECT_LT(std::fabs(seconds - static_cast<double>(std::time(nullptr))), 2.0);
}

}  // namespace
