#pragma once

#include <atomic>

#include "System/Object.h"

namespace System::Threading {

// A wake-up call for a thread that waits on descriptors (an eventfd): producers Signal
// after they have published work, the waiting thread watches GetDescriptor among its
// other descriptors and calls Clear before it looks for work. A signal given between
// Clear and the next wait leaves the descriptor readable, so it is never lost; signals
// given while one is pending cost no system call.
class WakeEvent : public Object {
  public:
    // REQUIRES: the process has a descriptor to spare (otherwise GetDescriptor is -1
    // and Signal does nothing).
    WakeEvent();
    // Releases the descriptor. REQUIRES: no thread waits on it any more.
    ~WakeEvent() override;

    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    // Makes the descriptor readable unless a signal is already pending. Any thread.
    void Signal();
    // Takes the pending signal, if any: the descriptor is no longer readable until the
    // next Signal. Called by the waiting thread before it looks for work.
    void Clear();

    // Readable while a signal is pending; -1 when the event could not be made.
    [[nodiscard]] int GetDescriptor() const { return mDescriptor; }

  private:
    int mDescriptor{-1};
    // A signal was given and not yet cleared; spares the system call of every signal
    // after the first.
    std::atomic<bool> mPending{false};
};

}  // namespace System::Threading
