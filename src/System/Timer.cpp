#include "System/Timer.h"

#include <sys/time.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace System {

namespace {

// One started timer: its address and the number of the Start that put it here, which
// tells a timer stopped and started again, or destroyed and replaced at the same
// address, during a SigTimer walk.
struct Started {
    Timer* mTimer;
    uint64_t mStart;
};

// The started timers, shared by the main loop's SigTimer and the threads that start
// and stop timers. mLock is last in the lock order: it is never held while tick
// handlers run.
struct Registry {
    std::mutex mLock;               // guards this registry and every timer's fields
    std::vector<Started> mStarted;  // in the order the timers were started
    uint64_t mStarts{0};            // Start calls so far
    const Timer* mFiring{nullptr};  // the timer whose OnTick is being raised
    bool mFiringDestroyed{false};   // it was destroyed by one of its handlers
};

// Built on first use and never destroyed: timers that are static objects in other
// files may be started before main and destroyed after it, in no order the linker
// promises.
Registry& Timers() {
    static Registry* registry = new Registry();
    return *registry;
}

std::atomic<Timer::Clock> gClock{nullptr};

double Now() {
    const Timer::Clock clock = gClock.load();
    return clock != nullptr ? clock() : Timer::GetTime();
}

// The position of timer among the started ones, or the end.
std::vector<Started>::iterator Find(std::vector<Started>& started, const Timer* timer) {
    return std::find_if(started.begin(), started.end(),
                        [timer](const Started& entry) { return entry.mTimer == timer; });
}

}  // namespace

Timer::~Timer() {
    Registry& timers = Timers();
    std::lock_guard<std::mutex> lock(timers.mLock);
    const auto entry = Find(timers.mStarted, this);
    if (entry != timers.mStarted.end()) {
        timers.mStarted.erase(entry);
    }
    if (timers.mFiring == this) {
        timers.mFiringDestroyed = true;
    }
}

void Timer::Start() {
    Registry& timers = Timers();
    std::lock_guard<std::mutex> lock(timers.mLock);
    if (mEnabled) {
        return;
    }
    mEnabled = true;
    mDue = Now() + mInterval;
    timers.mStarted.push_back({this, ++timers.mStarts});
}

void Timer::Stop() {
    Registry& timers = Timers();
    std::lock_guard<std::mutex> lock(timers.mLock);
    if (!mEnabled) {
        return;
    }
    mEnabled = false;
    timers.mStarted.erase(Find(timers.mStarted, this));
}

void Timer::SetInterval(double seconds) {
    Registry& timers = Timers();
    std::lock_guard<std::mutex> lock(timers.mLock);
    mInterval = seconds;
    mDue = Now() + seconds;
}

double Timer::GetInterval() const {
    Registry& timers = Timers();
    std::lock_guard<std::mutex> lock(timers.mLock);
    return mInterval;
}

bool Timer::IsEnabled() const {
    Registry& timers = Timers();
    std::lock_guard<std::mutex> lock(timers.mLock);
    return mEnabled;
}

void Timer::SigTimer() {
    if (Pause) {
        return;
    }
    Registry& timers = Timers();
    std::unique_lock<std::mutex> lock(timers.mLock);
    // The walk follows a copy, and each timer is looked up again before it is fired:
    // the handlers may stop or destroy the timers after their own.
    const std::vector<Started> walk = timers.mStarted;
    for (const Started& entry : walk) {
        const bool stillStarted =
            std::any_of(timers.mStarted.begin(), timers.mStarted.end(), [&](const Started& now) {
                return now.mTimer == entry.mTimer && now.mStart == entry.mStart;
            });
        if (stillStarted) {
            entry.mTimer->OnSigTimer(lock);
        }
    }
}

double Timer::GetTime() {
    timeval now{};
    gettimeofday(&now, nullptr);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_usec) * 0.000001;
}

void Timer::SetClock(Clock clock) {
    gClock = clock;
}

void Timer::OnSigTimer(std::unique_lock<std::mutex>& lock) {
    Registry& timers = Timers();
    // Written this way round, a due time or clock that is not a number never fires.
    if (!mEnabled || !(Now() >= mDue)) {
        return;
    }
    timers.mFiring = this;
    timers.mFiringDestroyed = false;
    lock.unlock();
    OnTick.Raise();
    lock.lock();
    if (!timers.mFiringDestroyed) {
        mDue = Now() + mInterval;
    }
    timers.mFiring = nullptr;
}

}  // namespace System
