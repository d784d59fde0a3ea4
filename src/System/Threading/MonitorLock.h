#pragma once

#include "System/Threading/Monitor.h"

namespace System::Threading {

// Holds a monitor for the scope the guard lives in: entered when the guard is made, left
// when the scope ends however it ends (a return, an exception), so that no path leaves the
// monitor held. A failed allocation inside a locked region once left a monitor held for
// good, and every thread that wanted it after (the stop's included) waited for ever.
//
// Where the monitor must be let go before the scope ends (to raise an event or call out
// without it), Unlock says so; Lock takes it again.
// REQUIRES: used by the thread that made it only.
class MonitorLock {
  public:
    // Blocks until the calling thread holds monitor.
    explicit MonitorLock(Monitor& monitor) : mMonitor(monitor) { Lock(); }
    ~MonitorLock() {
        if (mHeld) {
            mMonitor.Exit();
        }
    }

    MonitorLock(const MonitorLock&) = delete;
    MonitorLock& operator=(const MonitorLock&) = delete;

    // Leaves the monitor before the scope ends. REQUIRES: held.
    void Unlock() {
        mHeld = false;
        mMonitor.Exit();
    }
    // Takes the monitor again. REQUIRES: not held.
    void Lock() {
        mMonitor.Enter();
        mHeld = true;
    }

  private:
    Monitor& mMonitor;  // the monitor held; not owned
    bool mHeld{false};  // whether this guard holds it now
};

}  // namespace System::Threading
