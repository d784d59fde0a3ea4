#include "ZelvoRelay/Threading/ReceiveBacklog.h"

#include "System/Threading/WakeEvent.h"

namespace ZelvoRelay::Threading {

void ReceiveBacklog::Remove() {
    // Whoever clears the flag wakes the worker, and only once: Hold sets the flag
    // before it looks at the count, so a count that falls in between is seen by one
    // side or the other.
    if (mCount.fetch_sub(1) - 1 <= mMark.load() && mHeld.load() && mHeld.exchange(false)) {
        if (System::Threading::WakeEvent* wake = mWake.load()) {
            wake->Signal();
        }
    }
}

bool ReceiveBacklog::Hold(System::Threading::WakeEvent* wake, uint32_t mark) {
    mWake.store(wake);
    mMark.store(mark);
    mHeld.store(true);
    return !(mCount.load() <= mark && mHeld.exchange(false));
}

}  // namespace ZelvoRelay::Threading
