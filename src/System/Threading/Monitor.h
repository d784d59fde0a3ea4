#pragma once

#include "System/Object.h"

#include <atomic>
#include <cstdint>
#include <mutex>

namespace System::Threading {

// The system's lock: a plain, non-recursive mutex that counts its callers.
// A thread that holds a monitor must not Enter it again (it would block for ever);
// every Enter or successful TryEnter is paired with one Exit on the same thread. It is taken
// through MonitorLock, which makes that pairing hold however the locked work ends.
class Monitor : public Object {
  public:
    Monitor() = default;
    // REQUIRES: no thread holds the monitor or waits for it.
    ~Monitor() override = default;

    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    // Counts the caller, then blocks until the calling thread holds the lock.
    void Enter();
    // Takes the lock if it is free and counts the caller; never blocks.
    [[nodiscard]] bool TryEnter();
    // Releases the lock held by the calling thread.
    void Exit();

    // Kept for callers written against a waitable monitor: they do nothing.
    void Wait() {}
    void Notify() {}
    void NotifyAll() {}

    // Enter and successful TryEnter calls not yet matched by Exit, waiting callers
    // included; never below 0.
    [[nodiscard]] int GetNumCallers() const { return mCallers.load(); }

  private:
    std::mutex mMutex;
    // Changed by callers that do not hold the mutex yet, hence atomic.
    std::atomic<int32_t> mCallers{0};
};

}  // namespace System::Threading
