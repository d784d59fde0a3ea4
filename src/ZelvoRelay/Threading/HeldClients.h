#pragma once

#include <memory>
#include <vector>

#include "System/Object.h"
#include "System/Threading/Monitor.h"
#include "System/Threading/WakeEvent.h"
#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/Threading/ClientList.h"

namespace ZelvoRelay::Threading {

class ReceiveBacklog;

// The clients of one client worker that it does not read until their hold ends (too many of
// their messages wait, or their address's share is full), and those closed that it does not
// remove until their last message has been handled. Whoever ends a hold reports it here and
// wakes the worker, which takes back only the clients reported: walked on every turn, 15,000
// connections held by full shares cost the worker most of its time and newcomers' joins
// waited seconds. Holding, forgetting and taking back cost the same however many are held.
//
// Hold, HoldToLeave, Release, Forget, IsHeld, TakeEnded and Clear: the worker's thread only, under
// its list's monitor. Ended: any thread.
class HeldClients : public System::Object {
  public:
    explicit HeldClients(System::Threading::WakeEvent& wake) : mWake(wake) {}
    ~HeldClients() override;

    HeldClients(const HeldClients&) = delete;
    HeldClients& operator=(const HeldClients&) = delete;

    // Lists client as not to be read until its hold ends.
    void Hold(Client::RelayClient* client) { mHeld.Add(client); }
    // Lists client, closed, as not to be removed until its last message has been handled.
    void HoldToLeave(Client::RelayClient* client) { mLeaving.Add(client); }
    // Lets client, held, be read before its hold ends (its peer has ended).
    void Release(Client::RelayClient* client) { mHeld.Remove(client); }
    // Unlists client, held or leaving, if it is listed.
    void Forget(Client::RelayClient* client);
    // Whether client is listed as not to be read.
    [[nodiscard]] bool IsHeld(Client::RelayClient* client) const { return mHeld.Contains(client); }

    // The hold of backlog's client has ended: reports it for the next TakeEnded and wakes the
    // worker. Allocates nothing, so that a task's deletion cannot fail on it.
    void Ended(const std::shared_ptr<ReceiveBacklog>& backlog);
    // Unlists the clients whose hold has ended since the last call: the held ones are appended
    // to toRead, the leaving ones to toRemove. Looks at no client whose hold goes on.
    void TakeEnded(std::vector<Client::RelayClient*>& toRead,
                   std::vector<Client::RelayClient*>& toRemove);
    // Unlists every client and forgets what was reported (at a stop).
    void Clear();

  private:
    // Moves the reported backlogs from the list of ends to mReported, oldest first.
    void TakeReported();

    using WorkerState = Client::RelayClient::WorkerState;

    System::Threading::WakeEvent& mWake;  // the worker's
    ClientList<&WorkerState::mHeld> mHeld;
    ClientList<&WorkerState::mLeaving> mLeaving;
    // Guards the list of ends: its head and tail here, and the links in the backlogs. Last in
    // the lock order: nothing is entered while it is held.
    System::Threading::Monitor mEndsMonitor;
    std::shared_ptr<ReceiveBacklog> mFirstEnded;
    ReceiveBacklog* mLastEnded{nullptr};
    // Those taken by the worker, looked at without the monitor; kept for its capacity.
    std::vector<std::shared_ptr<ReceiveBacklog>> mReported;
};

}  // namespace ZelvoRelay::Threading
