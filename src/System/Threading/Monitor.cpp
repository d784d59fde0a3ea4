#include "System/Threading/Monitor.h"

namespace System::Threading {

void Monitor::Enter() {
    ++mCallers;
    mMutex.lock();
}

bool Monitor::TryEnter() {
    if (!mMutex.try_lock()) {
        return false;
    }
    ++mCallers;
    return true;
}

void Monitor::Exit() {
    // With no caller counted nobody holds the mutex: an unpaired Exit leaves the
    // count at 0 and does not unlock, since unlocking a mutex nobody holds is
    // undefined and could release it under a later holder.
    int32_t callers = mCallers.load();
    do {
        if (callers <= 0) {
            return;
        }
    } while (!mCallers.compare_exchange_weak(callers, callers - 1));
    mMutex.unlock();
}

}  // namespace System::Threading
