#include "System/Timer.h"

#include "System/EventManager.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace System {
namespace {

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
    explicit Ticks(Timer& timer) { mEvents.Add(timer.OnTick, this, &Ticks::OnTick); }
    void OnTick() {
        ++mCount;
        if (mAction) {
            mAction();
        }
    }

    int mCount = 0;
    std::function<void()> mAction;

  private:
    EventManager mEvents;
};

// Each schedule starts a timer at 1000 and runs frames at the given times; a handler may
// take time of its own, which the next due time counts from.
TEST_F(TimerTest, TicksComeOneIntervalAfterStartOrAfterTheLastHandlersEnded) {
    const double kNaN = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* what;
        double interval;  // 0: the default of one second
        double handlerTakes;
        std::vector<std::pair<double, int>> framesAndTicks;
    } schedules[] = {
        {"default", 0, 0, {{1000.999, 0}, {1001, 1}, {1001.5, 1}, {1002, 2}}},
        {"two seconds",
         2,
         0,
         {{1000, 0}, {1001.999, 0}, {1002, 1}, {1002, 1}, {1003.5, 1}, {1004, 2}}},
        // A late timer ticks once, then counts on from the end of its handlers.
        {"late, slow handler", 1, 0.25, {{1010, 1}, {1011, 1}, {1011.2, 1}, {1011.25, 2}}},
        {"not a number", kNaN, 0, {{1e9, 0}}},
    };
    for (const auto& schedule : schedules) {
        SCOPED_TRACE(schedule.what);
        gNow = 1000.0;
        Timer timer;
        Ticks ticks(timer);
        ticks.mAction = [&] { gNow += schedule.handlerTakes; };
        if (schedule.interval != 0) {
            timer.SetInterval(schedule.interval);
        }
        timer.Start();
        for (const auto& [time, expected] : schedule.framesAndTicks) {
            FrameAt(time);
            EXPECT_EQ(ticks.mCount, expected) << "at " << time;
        }
    }
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

TEST_F(TimerTest, StartingTwiceTicksOncePerDueTimeAndAStoppedTimerNeverTicks) {
    Timer timer;
    Ticks ticks(timer);
    FrameAt(1005.0);
    EXPECT_EQ(ticks.mCount, 0);
    timer.Start();
    timer.Start();
    FrameAt(1006.0);
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
    Ticks ticksA(a);
    Ticks ticksB(b);
    Ticks ticksC(c);
    ticksA.mAction = [&] { log.push_back("a"); };
    ticksB.mAction = [&] { log.push_back("b"); };
    ticksC.mAction = [&] { log.push_back("c"); };
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
    FrameAt(1001.0);
    FrameAt(1005.4);
    EXPECT_EQ(ticks.mCount, 0);
    FrameAt(1005.5);
    EXPECT_EQ(ticks.mCount, 1);
    EXPECT_TRUE(timer.IsEnabled());
}

TEST_F(TimerTest, HandlerMayStopOrDestroyItsOwnAndLaterTimers) {
    auto first = std::make_unique<Timer>();
    Timer stopped;
    auto destroyed = std::make_unique<Timer>();
    Timer after;
    Ticks firstTicks(*first);
    Ticks stoppedTicks(stopped);
    Ticks destroyedTicks(*destroyed);
    Ticks afterTicks(after);
    for (Timer* timer : {first.get(), &stopped, destroyed.get(), &after}) {
        timer->Start();
    }
    firstTicks.mAction = [&] {
        stopped.Stop();
        destroyed.reset();
        first.reset();
    };
    FrameAt(1001.0);
    EXPECT_EQ(firstTicks.mCount, 1);
    EXPECT_EQ(stoppedTicks.mCount, 0);
    EXPECT_EQ(destroyedTicks.mCount, 0);
    EXPECT_EQ(afterTicks.mCount, 1);
    EXPECT_EQ(first, nullptr);
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
}  // namespace System
