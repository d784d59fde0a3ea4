#include "System/Threading/Semaphore.h"

namespace System::Threading {

void Semaphore::Release() {
    {
        std::lock_guard<std::mutex> lock(mMutex);
        ++mCount;
    }
    mAvailable.notify_one();
}

void Semaphore::Acquire() {
    std::unique_lock<std::mutex> lock(mMutex);
    // The count is tested under the mutex: a Release between a test and the wait would
    // otherwise be lost and the waiter sleep with work pending.
    mAvailable.wait(lock, [this] { return mCount > 0; });
    --mCount;
}

}  // namespace System::Threading
