#pragma once

#include "System/Event.h"
#include "System/Object.h"

#include <atomic>
#include <mutex>

namespace System {

// An interval timer in seconds without a thread of its own: the main loop calls
// SigTimer once per frame, and every started timer that is due raises OnTick there,
// on the main thread. A late timer ticks once (no catch-up) and its next due time
// counts from the end of that tick's handlers.
//
// Start, Stop, SetInterval and the queries are safe from any thread. SigTimer is
// called by the main loop only, and a timer is destroyed on that thread only.
class Timer : public Object {
  public:
    // A source of seconds that due times are reckoned on.
    using Clock = double (*)();

    // Stopped, interval 1.0 s, due time 0.0.
    Timer() = default;
    // Leaves the started timers; OnTick's subscribers are detached, not deleted.
    ~Timer() override;

    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // Unless already started: due one interval from now, and the timer goes last in
    // the order of started timers.
    void Start();
    // Unless already stopped: the timer leaves the started timers; its due time stays.
    void Stop();
    // Sets the interval and moves the due time to now plus seconds, started or not.
    void SetInterval(double seconds);
    [[nodiscard]] double GetInterval() const;
    [[nodiscard]] bool IsEnabled() const;

    // Unless Pause is set, raises OnTick of every started timer that is due (now at or
    // after its due time), in the order the timers were started, then sets its due
    // time to now, read after the handlers, plus its interval. Handlers may start,
    // stop and destroy timers: a timer stopped or destroyed during the walk is not
    // fired afterwards, one started during it waits for the next call.
    static void SigTimer();
    // Wall-clock time in seconds (with microseconds).
    static double GetTime();
    // Reckons due times on clock instead of GetTime; null restores GetTime. Lets a
    // caller drive the timers with a time of its own.
    static void SetClock(Clock clock);

    // While true, SigTimer fires nothing.
    static inline std::atomic<bool> Pause{false};

    // Raised on the thread that calls SigTimer each time the timer is due.
    Event<> OnTick;

  private:
    // The due check of one started timer. Called with the timer lock held, which is
    // released while OnTick is raised, so that handlers can start and stop timers.
    void OnSigTimer(std::unique_lock<std::mutex>& lock);

    // Guarded by the timer lock shared by all timers.
    bool mEnabled{false};
    double mInterval{1.0};
    double mDue{0.0};
};

}  // namespace System
