#include "ZelvoRelay/Threading/ClientThreadWorker.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iterator>
#include <limits>
#include <new>

#include "System/Threading/MonitorLock.h"
#include "System/Utility/FailPoint.h"
#include "System/Utility/HeapTrim.h"
#include "ZelvoRelay/MVC/Events/RemoveRelayClientEvent.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

namespace ZelvoRelay::Threading {

namespace {

// The readiness reports one wait takes in.
constexpr int kReadyBatch = 256;
// The reads one client gets per turn: a client that sends without pause must not keep
// the others waiting.
constexpr int kReadsPerTurn = 8;

// How much later than its time a connection that has not joined may be closed, so that
// the connections of a busy minute are closed a few at a time, not with a wake-up each.
constexpr double kJoinDeadlineSlack = 0.25;

// Runs serve, one connection's part of a turn. A failed allocation in it closes that
// connection, and the turn goes on with the others: uncaught, it ended the process.
template <class Serve>
void ServeAlone(Client::RelayClient* client, Serve serve) {
    try {
        System::Utility::FailPoint::Check("client-turn");
        serve();
    } catch (const std::bad_alloc&) {
        client->Disconnect();
    }
}

// Seconds on a clock that never goes back.
double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

ClientThreadWorker::ClientThreadWorker() {
    mPoller.Add(mWake.GetDescriptor(), &mWake);
}

ClientThreadWorker::~ClientThreadWorker() = default;

void ClientThreadWorker::Add(Client::RelayClient* client) {
    // What needs memory comes first, and a failure leaves the worker as it was: a client
    // left listed would be served after the one who gave it deleted it.
    std::list<Client::RelayClient*> deadline{client};
    client->ReportHoldEndsTo(&mHolds);
    mClientList.mValue.Add(client);
    try {
        client->Attach(this);
    } catch (const std::bad_alloc&) {
        mClientList.mValue.Remove(client);
        throw;
    }
    mNumClients = static_cast<uint32_t>(mClientList.mValue.Count());
    WorkerState& state = client->GetWorkerState();
    state.mJoinDeadline = Now() + mJoinTimeout;
    mJoinDeadlines.splice(mJoinDeadlines.end(), deadline);
    state.mJoinEntry = std::prev(mJoinDeadlines.end());
    state.mMustJoin = true;
    if (!mPoller.Add(client->GetTcpClient().GetSocket()->GetSocket(), client)) {
        client->Disconnect();
    }
}

void ClientThreadWorker::Notify(Client::RelayClient* client, bool closed) {
    System::Threading::MonitorLock lock(mNoticesMonitor);
    mNotices.push_back({client, closed});
    lock.Unlock();
    mWake.Signal();
}

void ClientThreadWorker::Wake() {
    mWake.Signal();
}

// The list is not emptied when the worker starts: a client accepted between the start
// of the listener and the start of the workers is already in it and would be lost.
void ClientThreadWorker::Run() {
    char buffer[kReceiveBufferSize];
    System::Net::Poller::Ready ready[kReadyBatch];
    System::Threading::MonitorLock first(mClientList.mMonitor);
    int timeout = WaitTimeout();
    first.Unlock();
    while (GetThreadState() != 0) {
        const int count = mPoller.Wait(ready, kReadyBatch, timeout);
        if (GetThreadState() == 0) {
            break;
        }
        System::Threading::MonitorLock turn(mClientList.mMonitor);
        Turn(ready, count, buffer);
        timeout = WaitTimeout();
        turn.Unlock();
        // What connections that never joined held, were sent or left unsent is given back to
        // the system once there is enough of it: kept by the C library, the 250 MB that a
        // listing flood from 15 addresses had the server hold stayed after every connection
        // was gone. Given back between turns, with the list let go: under it, giving back 1 GB
        // held this worker's clients and the accept thread 0.4 s.
        System::Utility::HeapTrim::GiveBackWhenDue();
    }
}

void ClientThreadWorker::ReadRestAndClose() {
    char buffer[kReceiveBufferSize];
    System::Threading::MonitorLock lock(mClientList.mMonitor);
    // Read past their allowance of waiting messages: the server stops once the message
    // worker has handled what they sent, and an upload whose last bytes still waited in
    // the socket would otherwise be thrown away.
    for (Client::RelayClient* client : mClientList.mValue.TakeAll()) {
        client->ReceiveRest(buffer, kReceiveBufferSize);
        client->Disconnect();
        ForgetDeadline(client);
    }
    mNumClients = 0;
    mToRead.TakeAll();
    mHolds.Clear();
    mSpent.Clear();
    System::Threading::MonitorLock noticesLock(mNoticesMonitor);
    mNotices.clear();
}

void ClientThreadWorker::Turn(const System::Net::Poller::Ready* ready, int count, char* buffer) {
    // Cleared before the notices are taken: a notice that comes after this signals
    // again, so the next wait returns at once.
    mWake.Clear();
    const double now = Now();
    for (int i = 0; i < count; ++i) {
        if (ready[i].mToken == &mWake) {
            continue;
        }
        auto* client = static_cast<Client::RelayClient*>(ready[i].mToken);
        WorkerState& state = client->GetWorkerState();
        if (ready[i].mReadable) {
            state.mPeerEnded = state.mPeerEnded || ready[i].mEnded;
            state.mPeerReset = state.mPeerReset || ready[i].mFailed;
            // Held while its address's share is full, a connection that went away would keep
            // its requests, and its place, until that share had room again.
            if (state.mPeerEnded) {
                mHolds.Release(client);
            }
            ListToRead(client);
        }
        if (ready[i].mWritable && state.mAwaitingRoom) {
            state.mAwaitingRoom = false;
            ListToSend(client);
        }
    }
    std::vector<Notice> notices;
    System::Threading::MonitorLock noticesLock(mNoticesMonitor);
    notices.swap(mNotices);
    noticesLock.Unlock();
    for (const Notice& notice : notices) {
        if (notice.mClosed) {
            mClosed.push_back(notice.mClient);
        } else {
            ListToSend(notice.mClient);
        }
    }
    // Only the clients whose hold or wait for their budget has ended are looked at: walked on
    // every turn, thousands held for their addresses' shares took most of the worker's time.
    mHolds.TakeEnded(mResumed, mClosed);
    mSpent.TakeDue(now, mResumed);
    for (Client::RelayClient* client : mResumed) {
        ListToRead(client);
    }
    mResumed.clear();
    CloseLateJoiners(now);

    for (Client::RelayClient* client : mToRead.TakeAll()) {
        ServeAlone(client, [&] { Read(client, buffer, now); });
    }
    for (Client::RelayClient* client : mToSend) {
        WorkerState& state = client->GetWorkerState();
        state.mToSend = false;
        ServeAlone(client, [&] { state.mAwaitingRoom = client->Send(); });
    }
    mToSend.clear();
    // Removed last: until here a readiness report or a notice may still name them.
    for (Client::RelayClient* client : mClosed) {
        client->DropUnsent();
        // Removed at once, a client that sent a chat and closed would leave the room
        // before the chat was handled, and the chat would be lost.
        WorkerState& state = client->GetWorkerState();
        if (!state.mHeldToLeave && client->HoldUntilHandled(&mWake)) {
            state.mHeldToLeave = true;
            mToRead.Remove(client);
            mHolds.Forget(client);
            mSpent.Remove(client);
            mHolds.HoldToLeave(client);
        } else {
            Remove(client);
        }
    }
    mClosed.clear();
}

void ClientThreadWorker::Read(Client::RelayClient* client, char* buffer, double now) {
    for (int i = 0; i < kReadsPerTurn; ++i) {
        switch (client->Receive(buffer, 0, kReceiveBufferSize, now, &mWake)) {
            case Client::RelayClient::Received::Data:
                break;
            case Client::RelayClient::Received::Held:
                mHolds.Hold(client);
                return;
            case Client::RelayClient::Received::Spent:
                // Its readiness is reported once, and is not reported again while it is
                // not read: the worker's own wait brings it back.
                mSpent.Add(client);
                return;
            case Client::RelayClient::Received::Drained:
            case Client::RelayClient::Received::Closed:
                return;
        }
    }
    ListToRead(client);
}

void ClientThreadWorker::CloseLateJoiners(double now) {
    if (mJoinDeadlines.empty() || mJoinDeadlines.front()->GetWorkerState().mJoinDeadline > now) {
        return;
    }
    auto& clients = MVC::Model::ZelvoRelayModel::Instance()->Clients;
    System::Threading::MonitorLock lock(clients.mMonitor);
    while (!mJoinDeadlines.empty() &&
           mJoinDeadlines.front()->GetWorkerState().mJoinDeadline <= now) {
        Client::RelayClient* client = mJoinDeadlines.front();
        ForgetDeadline(client);
        // Connections that never join would otherwise hold the places the room's
        // limit counts for as long as they like, and lock every member out.
        if (!client->GetUserModel().IsRegistered.mValue) {
            client->Disconnect();
        }
    }
}

void ClientThreadWorker::ForgetDeadline(Client::RelayClient* client) {
    WorkerState& state = client->GetWorkerState();
    if (state.mMustJoin) {
        state.mMustJoin = false;
        mJoinDeadlines.erase(state.mJoinEntry);
    }
}

void ClientThreadWorker::Remove(Client::RelayClient* client) {
    mClientList.mValue.Remove(client);
    mNumClients = static_cast<uint32_t>(mClientList.mValue.Count());
    mToRead.Remove(client);
    mHolds.Forget(client);
    mSpent.Remove(client);
    ForgetDeadline(client);
    MVC::Events::RemoveRelayClientEvent event(client);
    event.Dispatch();
}

int ClientThreadWorker::WaitTimeout() {
    if (!mToRead.Empty()) {
        return 0;
    }
    if (mJoinDeadlines.empty() && mSpent.Empty()) {
        return -1;
    }
    double due = mJoinDeadlines.empty()
                     ? std::numeric_limits<double>::infinity()
                     : mJoinDeadlines.front()->GetWorkerState().mJoinDeadline + kJoinDeadlineSlack;
    if (!mSpent.Empty()) {
        due = std::min(due, mSpent.NextReadableAt());
    }
    const double wait = std::ceil((due - Now()) * 1000.0);
    return static_cast<int>(std::clamp(wait, 0.0, 1000.0 * 3600.0));
}

void ClientThreadWorker::ListToRead(Client::RelayClient* client) {
    if (!mHolds.IsHeld(client) && !mSpent.Contains(client)) {
        mToRead.Add(client);
    }
}

void ClientThreadWorker::ListToSend(Client::RelayClient* client) {
    WorkerState& state = client->GetWorkerState();
    if (!state.mToSend) {
        state.mToSend = true;
        mToSend.push_back(client);
    }
}

}  // namespace ZelvoRelay::Threading
