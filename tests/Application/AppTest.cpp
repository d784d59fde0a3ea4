#include "Application/App.h"

#include "System/EventManager.h"
#include "System/Timer.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <functional>

namespace {

using Application::App;

double FrozenClock() {
    return 0.0;
}

// Counts the timer ticks (one per frame) and Render calls of the loop; mStop runs in
// the tick or in Render of frame 3.
struct FrameApp : App {
    FrameApp() { mEvents.Add(mEveryFrame.OnTick, this, &FrameApp::OnTick); }
    int Main(int, char**) override {
        SetFPS(1e6);
        mEveryFrame.SetInterval(0.0);
        mEveryFrame.Start();
        Start();
        return mTicks;
    }
    void Render() override {
        ++mRenders;
        if (!mStopInTick && mTicks == 3) {
            mStop(*this);
        }
    }
    void OnTick() {
        ++mTicks;
        if (mStopInTick && mTicks == 3) {
            mStop(*this);
        }
    }
    std::function<void(App&)> mStop;
    bool mStopInTick{false};
    int mTicks{0};
    int mRenders{0};
    System::Timer mEveryFrame;
    System::EventManager mEvents;
};

// Every way of asking the loop to end lets the frame it was asked in finish, Render
// included, and starts no other; a request made before the loop ends its first frame.
TEST(AppTest, LoopEndsAtTheEndOfTheFrameItIsAskedToStopIn) {
    System::Timer::SetClock(&FrozenClock);
    EXPECT_EQ(App::EntryPoint(0, nullptr), 0);  // no application
    const auto stop = [](App& app) { app.Stop(); };
    const auto request = [](App&) { App::RequestStop(); };
    const auto term = [](App&) { raise(SIGTERM); };
    const auto interrupt = [](App&) { raise(SIGINT); };
    const struct {
        std::function<void(App&)> stop;
        bool inTick;
        App::WindowState state;
        int ticks, renders;
    } cases[] = {
        {stop, false, App::Normal, 3, 3},      {stop, true, App::Normal, 3, 3},
        {request, false, App::Normal, 3, 3},   {term, true, App::Normal, 3, 3},
        {interrupt, false, App::Normal, 3, 3}, {interrupt, true, App::Minimised, 3, 0},
        {stop, true, App::Hidden, 3, 0},       {nullptr, false, App::Normal, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        FrameApp app;
        app.mStop = c.stop;
        app.mStopInTick = c.inTick;
        app.SetShow(c.state);
        if (!c.stop) {
            App::RequestStop();
        }
        EXPECT_EQ(App::EntryPoint(0, nullptr), c.ticks);
        EXPECT_EQ(app.mRenders, c.renders);
    }
    System::Timer::SetClock(nullptr);
    FrameApp app;
    app.SetFPS(30.0);
    app.SetFPS(0.0);  // an infinite period would hang the loop
    EXPECT_EQ(app.GetFPS(), 30.0);
}

TEST(AppTest, WritingToAClosedPipeFailsInsteadOfEndingTheProcess) {
    ASSERT_TRUE(App::InstallSignalHandlers());
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    EXPECT_EQ(write(fds[1], "x", 1), -1);
    EXPECT_EQ(errno, EPIPE);
    close(fds[1]);
}

}  // namespace
