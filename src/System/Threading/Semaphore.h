#pragma once

#include "System/Object.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace System::Threading {

// A counting semaphore: a thread that has nothing to do blocks in Acquire until another
// thread signals work with Release, instead of polling for it.
class Semaphore : public Object {
  public:
    Semaphore() = default;
    // REQUIRES: no thread waits in Acquire.
    ~Semaphore() override = default;

    Semaphore(const Semaphore&) = delete;
    Semaphore& operator=(const Semaphore&) = delete;

    // Adds one to the count and wakes one waiting thread.
    void Release();
    // Blocks until the count is above 0, then takes one from it.
    void Acquire();

  private:
    // Guards mCount. Last in the lock order: nothing is entered while it is held.
    std::mutex mMutex;
    std::condition_variable mAvailable;  // signalled when mCount grows
    uint32_t mCount{0};                  // releases not yet acquired
};

}  // namespace System::Threading
