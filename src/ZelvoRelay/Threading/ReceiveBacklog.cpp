#include "ZelvoRelay/Threading/ReceiveBacklog.h"

#include "System/Threading/WakeEvent.h"
#include "System/Utility/HeapTrim.h"
#include "ZelvoRelay/Client/QueueShare.h"
#include "ZelvoRelay/Threading/HeldClients.h"

namespace ZelvoRelay::Threading {

void ReceiveBacklog::Remove() {
    // Thousands of connections that never joined, each with its requests waiting, left
    // hundreds of MB held after they were gone: counted, they are given back.
    if (mShared.load(std::memory_order_relaxed) && mShare != nullptr) {
        System::Utility::HeapTrim::Freed(kRequestBytes);
    }
    // Whoever ends the hold wakes the worker, and only once: Hold makes the hold
    // before it looks at the count, so a count that falls in between is seen by one
    // side or the other.
    const uint32_t count = mCount.fetch_sub(1) - 1;
    uint32_t hold = mHold.load();
    if (hold != kNotHeld && count < hold && mHold.compare_exchange_strong(hold, kNotHeld)) {
        if (HeldClients* held = mHeldBy.load()) {
            held->Ended(shared_from_this());
        } else if (System::Threading::WakeEvent* wake = mWake.load()) {
            wake->Signal();
        }
    }
}

void ReceiveBacklog::ReportEndsTo(HeldClients* held, Client::RelayClient* client) {
    mClient = client;
    mHeldBy.store(held);
}

void ReceiveBacklog::Detach() {
    mWake.store(nullptr);
    mHeldBy.store(nullptr);
    mClient = nullptr;
}

const std::shared_ptr<Client::QueueShare>& ReceiveBacklog::GetShare() const {
    static const std::shared_ptr<Client::QueueShare> none;
    return mShared.load() ? mShare : none;
}

bool ReceiveBacklog::Hold(System::Threading::WakeEvent* wake, uint32_t mark) {
    mWake.store(wake);
    uint32_t hold = mark + 1;
    mHold.store(hold);
    return !(mCount.load() <= mark && mHold.compare_exchange_strong(hold, kNotHeld));
}

}  // namespace ZelvoRelay::Threading
