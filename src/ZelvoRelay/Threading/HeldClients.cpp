#include "ZelvoRelay/Threading/HeldClients.h"

#include "System/Threading/MonitorLock.h"
#include "ZelvoRelay/Threading/ReceiveBacklog.h"

namespace ZelvoRelay::Threading {

HeldClients::~HeldClients() {
    Clear();
}

void HeldClients::Forget(Client::RelayClient* client) {
    mHeld.Remove(client);
    mLeaving.Remove(client);
}

void HeldClients::Ended(const std::shared_ptr<ReceiveBacklog>& backlog) {
    System::Threading::MonitorLock lock(mEndsMonitor);
    // Listed once: the worker looks at where the client stands when it takes it back.
    if (!backlog->mEndListed) {
        backlog->mEndListed = true;
        if (mLastEnded != nullptr) {
            mLastEnded->mNextEnded = backlog;
        } else {
            mFirstEnded = backlog;
        }
        mLastEnded = backlog.get();
    }
    lock.Unlock();
    mWake.Signal();
}

void HeldClients::TakeEnded(std::vector<Client::RelayClient*>& toRead,
                            std::vector<Client::RelayClient*>& toRemove) {
    TakeReported();
    for (const std::shared_ptr<ReceiveBacklog>& backlog : mReported) {
        Client::RelayClient* client = backlog->GetClient();
        // Gone already, or held anew by the worker since (a closed client waiting for its last
        // message): that hold's end is reported in its turn.
        if (client == nullptr || client->IsHeld()) {
            continue;
        }
        if (mHeld.Contains(client)) {
            mHeld.Remove(client);
            toRead.push_back(client);
        } else if (mLeaving.Contains(client)) {
            mLeaving.Remove(client);
            toRemove.push_back(client);
        }
    }
    mReported.clear();
}

void HeldClients::Clear() {
    mHeld.TakeAll();
    mLeaving.TakeAll();
    TakeReported();
    mReported.clear();
}

void HeldClients::TakeReported() {
    System::Threading::MonitorLock lock(mEndsMonitor);
    std::shared_ptr<ReceiveBacklog> next = std::move(mFirstEnded);
    mLastEnded = nullptr;
    while (next != nullptr) {
        next->mEndListed = false;
        std::shared_ptr<ReceiveBacklog> after = std::move(next->mNextEnded);
        mReported.push_back(std::move(next));
        next = std::move(after);
    }
}

}  // namespace ZelvoRelay::Threading
