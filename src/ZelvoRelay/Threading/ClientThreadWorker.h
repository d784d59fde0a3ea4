#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include "System/Collections/Vector.h"
#include "System/Net/Poller.h"
#include "System/Threading/Monitor.h"
#include "System/Threading/Thread.h"
#include "System/Threading/ThreadProperty.h"
#include "System/Threading/WakeEvent.h"

namespace ZelvoRelay::Client {
class RelayClient;
}

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

    // Appends client to the list and starts watching it; waits at most one turn of
    // the worker for the list's monitor.
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
    // Lists for a read the clients whose relay budget allows it again at time now.
    void ReleaseSpent(double now);
    // Closes the connections whose time to join has run out at time now.
    void CloseLateJoiners(double now);
    // Drops client from every list and removes it from the room (which deletes it).
    void Remove(Client::RelayClient* client);
    // The wait before the next turn, in milliseconds: none while clients are left to
    // read, until the next join deadline or relay budget's release, or without limit.
    int WaitTimeout();
    void ListToRead(Client::RelayClient* client);
    void ListToSend(Client::RelayClient* client);

    System::Net::Poller mPoller;         // the clients' sockets and mWake
    System::Threading::WakeEvent mWake;  // signalled by Notify, Wake and released holds
    // The clients served, in the order they were added; not owned. Its monitor is held
    // for a whole turn and by Add, and comes first in the relay's lock order.
    System::Threading::ThreadProperty<System::Collections::Vector<Client::RelayClient*>>
        mClientList;
    std::atomic<uint32_t> mNumClients{0};  // mirrors the list's count for GetNumClient
    // When each client added must have joined, in the order added; guarded by the
    // list's monitor.
    std::deque<std::pair<double, Client::RelayClient*>> mJoinDeadlines;
    double mJoinTimeout{kJoinTimeout};  // set before the clients it applies to are added
    // Guards mNotices. Last in the lock order: taken under a client's send-queue
    // monitor, and nothing is entered while it is held.
    System::Threading::Monitor mNoticesMonitor;
    std::vector<Notice> mNotices;  // what Notify told, oldest first
    // Touched by the worker's thread only, in its turns:
    std::vector<Client::RelayClient*> mToRead;  // bytes may wait; read in the next turn
    std::vector<Client::RelayClient*> mToSend;  // frames to send in this turn
    std::vector<Client::RelayClient*> mHeld;    // not read until their backlog falls
    // Not read until their relay budget allows it, each with the time it does.
    std::vector<std::pair<double, Client::RelayClient*>> mSpent;
    std::vector<Client::RelayClient*> mClosed;  // to remove at the end of this turn
    // Closed, and removed once the message worker has handled what they sent.
    std::vector<Client::RelayClient*> mLeaving;
};

}  // namespace ZelvoRelay::Threading
