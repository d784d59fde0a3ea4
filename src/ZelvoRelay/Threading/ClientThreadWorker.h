#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <vector>

#include "System/Net/Poller.h"
#include "System/Threading/Monitor.h"
#include "System/Threading/MonitorLock.h"
#include "System/Threading/Thread.h"
#include "System/Threading/ThreadProperty.h"
#include "System/Threading/WakeEvent.h"
#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/Threading/ClientList.h"
#include "ZelvoRelay/Threading/HeldClients.h"
#include "ZelvoRelay/Threading/SpentClients.h"

namespace ZelvoRelay::Threading {

// Serves the clients it was given: it sleeps until one of their sockets is readable
// or has room again, a client has frames queued or has closed, a connection's time to
// join runs out or a client's relay budget allows it to be read again, and then reads,
// sends and removes what is due. A client found closed is removed
// (RemoveRelayClientEvent) and dropped from the list. Once it has stopped, the stopping
// server has it read what its clients' sockets still hold and close them
// (ReadRestAndClose), whatever their budgets say.
class ClientThreadWorker : public System::Threading::Thread {
  public:
    static constexpr uint32_t kReceiveBufferSize = 16384;
    // Seconds a connection may stay without joining the room before it is closed (at
    // most a quarter of a second later).
    static constexpr double kJoinTimeout = 30.0;

    ClientThreadWorker();
    // REQUIRES: the worker is stopped.
    ~ClientThreadWorker() override;

    // Appends client to the list and starts watching it. Throws std::bad_alloc when memory
    // runs out, the worker left as it was. REQUIRES: the turns paused by the caller
    // (PauseTurns).
    void Add(Client::RelayClient* client);
    // The number of clients served, read without the lock (to pick a worker).
    [[nodiscard]] unsigned int GetNumClient() const { return mNumClients.load(); }
    // Tells the worker that client has frames to send, or (closed) that it has been
    // disconnected, which must be the last notice about it. Called by the client
    // under its send-queue monitor; takes the notices' monitor, which comes after it.
    void Notify(Client::RelayClient* client, bool closed);
    // Changes the time a connection may take to join (kJoinTimeout by default) for
    // the clients added from now on.
    void SetJoinTimeout(double seconds) { mJoinTimeout = seconds; }

    // Keeps the worker between turns for as long as the returned guard lives: meanwhile it
    // reads, sends on and watches no socket of its clients, so another thread may close one
    // at once. Takes the list's monitor: REQUIRES no client-collection monitor held, nor the
    // list monitor of a worker after this one in the manager's order.
    [[nodiscard]] System::Threading::MonitorLock PauseTurns() {
        return System::Threading::MonitorLock(mClientList.mMonitor);
    }

    void Run() override;

    // At a stop: reads what the socket of each client still served holds now, so that
    // what it sent before the stop is handled, then closes the connections and empties
    // the list; the clients stay in the client collection. REQUIRES: the worker has
    // stopped.
    void ReadRestAndClose();

  protected:
    void Wake() override;

  private:
    // A client the worker was told about.
    struct Notice {
        Client::RelayClient* mClient;
        bool mClosed;
    };

    // One turn: everything that is due after a wait. REQUIRES: the list's monitor.
    void Turn(const System::Net::Poller::Ready* ready, int count, char* buffer);
    // Reads client a few times at most at time now; lists it for the next turn when
    // bytes may still wait, as held, or as waiting for its relay budget.
    void Read(Client::RelayClient* client, char* buffer, double now);
    // Closes the connections whose time to join has run out at time now.
    void CloseLateJoiners(double now);
    // Takes client off the join deadlines. REQUIRES: the list's monitor.
    void ForgetDeadline(Client::RelayClient* client);
    // Drops client from every list and removes it from the room (which deletes it).
    void Remove(Client::RelayClient* client);
    // The wait before the next turn, in milliseconds: none while clients are left to
    // read, until the next join deadline or relay budget's release, or without limit.
    int WaitTimeout();
    void ListToRead(Client::RelayClient* client);
    void ListToSend(Client::RelayClient* client);

    using WorkerState = Client::RelayClient::WorkerState;

    System::Net::Poller mPoller;         // the clients' sockets and mWake
    System::Threading::WakeEvent mWake;  // signalled by Notify, Wake and released holds
    // Not read until their hold ends, or closed and not removed until their last message has
    // been handled; given back by whoever ends the hold.
    HeldClients mHolds{mWake};
    // The clients served; not owned. Its monitor is held for a whole turn, by Add and
    // while a PauseTurns guard lives, and comes first in the relay's lock order; a thread
    // holding several workers' takes them in the manager's order.
    System::Threading::ThreadProperty<ClientList<&WorkerState::mServed>> mClientList;
    std::atomic<uint32_t> mNumClients{0};  // mirrors the list's count for GetNumClient
    // The clients that must join by a time, in the order added (so by that time, the
    // timeout being the same for them); guarded by the list's monitor. Those that have
    // joined are dropped when they reach the head.
    std::list<Client::RelayClient*> mJoinDeadlines;
    double mJoinTimeout{kJoinTimeout};  // set before the clients it applies to are added
    // Guards mNotices. Last in the lock order: taken under a client's send-queue
    // monitor, and nothing is entered while it is held.
    System::Threading::Monitor mNoticesMonitor;
    std::vector<Notice> mNotices;  // what Notify told, oldest first
    // Touched by the worker's thread only, in its turns:
    ClientList<&WorkerState::mToRead> mToRead;   // bytes may wait; read in the next turn
    std::vector<Client::RelayClient*> mToSend;   // frames to send in this turn
    std::vector<Client::RelayClient*> mResumed;  // held or spent no more: read in this turn
    SpentClients mSpent;                         // not read until their relay budget allows it
    std::vector<Client::RelayClient*> mClosed;   // to remove at the end of this turn
};

}  // namespace ZelvoRelay::Threading
