#include "System/Threading/WakeEvent.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace System::Threading {

WakeEvent::WakeEvent() : mDescriptor(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

WakeEvent::~WakeEvent() {
    if (mDescriptor >= 0) {
        close(mDescriptor);
    }
}

void WakeEvent::Signal() {
    if (mDescriptor < 0 || mPending.exchange(true)) {
        return;
    }
    const uint64_t one = 1;
    (void)write(mDescriptor, &one, sizeof one);
}

void WakeEvent::Clear() {
    // The flag goes first: a Signal that comes after it writes again, so a signal
    // given while the counter is being read leaves the descriptor readable.
    mPending.store(false);
    uint64_t count = 0;
    (void)read(mDescriptor, &count, sizeof count);
}

}  // namespace System::Threading
