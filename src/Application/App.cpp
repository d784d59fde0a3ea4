#include "Application/App.h"

#include "System/Timer.h"

#include <chrono>
#include <csignal>
#include <thread>

namespace Application {

namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

extern "C" void OnStopSignal(int) {
    App::RequestStop();
}

// Sleeps for the given number of seconds; nothing for a duration that is not above 0.
// A signal may end the sleep early, which only ends the frame early.
void Sleep(double seconds) {
    if (seconds > 0.0) {
        std::this_thread::sleep_for(Seconds(seconds));
    }
}

}  // namespace

App::App() {
    mEvents.Add(OnSize, this, &App::OnSizeHandle);
    sCurrentApp.store(this);
}

App::~App() {
    App* self = this;
    sCurrentApp.compare_exchange_strong(self, nullptr);
}

int App::EntryPoint(int argc, char** argv) {
    App* app = CurrentApp();
    if (app == nullptr) {
        return 0;
    }
    InstallSignalHandlers();
    return app->Main(argc, argv);
}

bool App::InstallSignalHandlers() {
    struct sigaction stop = {};
    stop.sa_handler = OnStopSignal;
    sigemptyset(&stop.sa_mask);
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    bool installed = sigaction(SIGINT, &stop, nullptr) == 0;
    installed = sigaction(SIGTERM, &stop, nullptr) == 0 && installed;
    return sigaction(SIGPIPE, &ignore, nullptr) == 0 && installed;
}

void App::RequestStop() {
    sStopRequested.store(true);
}

void App::OnSizeHandle(int width, int height, WindowState state) {
    mWidth = width;
    mHeight = height;
    mWindowState = state == Minimised ? Minimised : Normal;
}

void App::SetFPS(double framesPerSecond) {
    if (!(framesPerSecond > 0.0)) {
        return;
    }
    mFramesPerSecond = framesPerSecond;
    mPeriod = 1.0 / framesPerSecond;
}

void App::Start() {
    mRunning.store(true);
    for (;;) {
        System::Timer::SigTimer();
        if (mWindowState == Hidden || mWindowState == Minimised) {
            Sleep(mPeriod);
        } else {
            Run();
        }
        // Without a way out of the loop, SIGINT or SIGTERM would end the process
        // without the closing save, losing whatever changed since the last one.
        if (sStopRequested.exchange(false)) {
            mRunning.store(false);
        }
        if (!mRunning.load()) {
            return;
        }
    }
}

void App::Stop() {
    mRunning.store(false);
}

void App::Run() {
    // Paced on the steady clock: a step of the wall clock would stretch or skip frames.
    const Clock::time_point start = Clock::now();
    Render();
    Sleep(mPeriod - Seconds(Clock::now() - start).count());
}

}  // namespace Application
