#include "Application/App.h"

#include "System/EventManager.h"
#include "System/Timer.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <thread>

namespace {

using Application::App;

double FrozenClock() {
    return 0.0;
}

// Counts the frames through a timer due every frame, and the Render calls; mStop
// runs in frame 3, in the timer's tick or in Render.
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

// Sends signal to the process and waits until the request to stop it makes is seen: the
// signals are taken by a thread of their own.
void SendStopSignal(int signal) {
    kill(getpid(), signal);
    while (!App::IsSecondStopRequested()) {
        std::this_thread::yield();
    }
}

// Every way of asking the loop to end lets the frame it was asked in finish, Render
// included, and starts no other; a request made before the loop ends its first frame.
TEST(AppTest, LoopEndsAtTheEndOfTheFrameItIsAskedToStopIn) {
    // A runner that starts the tests as a background job leaves SIGINT ignored, which the loop
    // rightly never ends on.
    signal(SIGINT, SIG_DFL);
    System::Timer::SetClock(&FrozenClock);
    EXPECT_EQ(App::EntryPoint(0, nullptr), 0);  // no application yet
    const struct {
        std::function<void(App&)> stop;
        bool inTick;
        App::WindowState state;
        int ticks, renders;
    } cases[] = {
        {[](App& app) { app.Stop(); }, false, App::Normal, 3, 3},
        {[](App&) { App::RequestStop(); }, true, App::Normal, 3, 3},
        {[](App&) { SendStopSignal(SIGTERM); }, true, App::Normal, 3, 3},
        {[](App&) { SendStopSignal(SIGINT); }, false, App::Normal, 3, 3},
        {[](App&) { SendStopSignal(SIGINT); }, true, App::Minimised, 3, 0},
        {nullptr, false, App::Hidden, 1, 0},
    };
    for (const auto& c : cases) {
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
    // The size event minimises the window for state 6 only; any other state shows it.
    FrameApp app;
    for (const auto state : {App::Minimised, App::WindowState(9), App::Hidden}) {
        app.OnSize.Raise(640, 480, state);
        EXPECT_EQ(app.GetShow(), state == App::Minimised ? App::Minimised : App::Normal);
    }
    System::Timer::SetClock(nullptr);
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

// Runs the loop until it ends on a request to stop, then a closing whose last save decides
// status 7: a second request to stop comes before that save when beforeTheSave, after it
// otherwise. Reaching its end, the closing exits with status 0.
[[noreturn]] void CloseAskedAgain(bool beforeTheSave) {
    FrameApp app;
    app.mStop = [](App&) { App::RequestStop(); };
    App::EntryPoint(0, nullptr);
    if (beforeTheSave) {
        App::RequestStop();
    }
    App::EndAtNextStop(7);
    if (!beforeTheSave) {
        App::RequestStop();
    }
    std::exit(0);
}

// Once the closing's last save is made, a second request to stop ends the process at once with
// the status that save decided, whether it came while the closing was still saving or comes
// later; what the closing has left to do is never waited for.
TEST(AppDeathTest, ASecondStopBeforeOrAfterTheLastSaveEndsTheProcessWithItsStatus) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(CloseAskedAgain(true), testing::ExitedWithCode(7), "");
    EXPECT_EXIT(CloseAskedAgain(false), testing::ExitedWithCode(7), "");
}

}  // namespace
