#include "ZelvoRelay/Threading/ClientThreadWorker.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "ZelvoRelay/Client/RelayClient.h"
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

// Seconds on a clock that never goes back.
double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

template <typename T>
void Erase(std::vector<T>& list, const T& item) {
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

// Drops the entries of client from a list of (time, client) pairs.
template <typename List>
void EraseTimed(List& list, const Client::RelayClient* client) {
    list.erase(std::remove_if(list.begin(), list.end(),
                              [client](const auto& entry) { return entry.second == client; }),
               list.end());
}

}  // namespace

ClientThreadWorker::ClientThreadWorker() {
    mPoller.Add(mWake.GetDescriptor(), &mWake);
}

ClientThreadWorker::~ClientThreadWorker() = default;

void ClientThreadWorker::Add(Client::RelayClient* client) {
    mClientList.mMonitor.Enter();
    mClientList.mValue.Add(client);
    mNumClients = mClientList.mValue.Count();
    mJoinDeadlines.emplace_back(Now() + mJoinTimeout, client);
    client->Attach(this);
    if (!mPoller.Add(client->GetTcpClient().GetSocket()->GetSocket(), client)) {
        client->Disconnect();
    }
    mClientList.mMonitor.Exit();
}

void ClientThreadWorker::Notify(Client::RelayClient* client, bool closed) {
    mNoticesMonitor.Enter();
    mNotices.push_back({client, closed});
    mNoticesMonitor.Exit();
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
    mClientList.mMonitor.Enter();
    int timeout = WaitTimeout();
    mClientList.mMonitor.Exit();
    while (GetThreadState() != 0) {
        const int count = mPoller.Wait(ready, kReadyBatch, timeout);
        if (GetThreadState() == 0) {
            break;
        }
        mClientList.mMonitor.Enter();
        Turn(ready, count, buffer);
        timeout = WaitTimeout();
        mClientList.mMonitor.Exit();
    }
}

void ClientThreadWorker::ReadRestAndClose() {
    char buffer[kReceiveBufferSize];
    mClientList.mMonitor.Enter();
    auto& list = mClientList.mValue;
    // Read past their allowance of waiting messages: the server stops once the message
    // worker has handled what they sent, and an upload whose last bytes still waited in
    // the socket would otherwise be thrown away.
    for (uint32_t i = 0; i < list.Count(); ++i) {
        list[i]->ReceiveRest(buffer, kReceiveBufferSize);
        list[i]->Disconnect();
    }
    list.Clear();
    mNumClients = 0;
    mJoinDeadlines.clear();
    mToRead.clear();
    mHeld.clear();
    mSpent.clear();
    mLeaving.clear();
    mNoticesMonitor.Enter();
    mNotices.clear();
    mNoticesMonitor.Exit();
    mClientList.mMonitor.Exit();
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
        Client::RelayClient::WorkerState& state = client->GetWorkerState();
        if (ready[i].mReadable) {
            state.mPeerEnded = state.mPeerEnded || ready[i].mEnded;
            ListToRead(client);
        }
        if (ready[i].mWritable && state.mAwaitingRoom) {
            state.mAwaitingRoom = false;
            ListToSend(client);
        }
    }
    std::vector<Notice> notices;
    mNoticesMonitor.Enter();
    notices.swap(mNotices);
    mNoticesMonitor.Exit();
    for (const Notice& notice : notices) {
        if (notice.mClosed) {
            mClosed.push_back(notice.mClient);
        } else {
            ListToSend(notice.mClient);
        }
    }
    for (size_t i = 0; i < mHeld.size();) {
        Client::RelayClient* client = mHeld[i];
        if (client->IsHeld()) {
            ++i;
            continue;
        }
        client->GetWorkerState().mHeld = false;
        ListToRead(client);
        mHeld[i] = mHeld.back();
        mHeld.pop_back();
    }
    for (size_t i = 0; i < mLeaving.size();) {
        if (mLeaving[i]->IsHeld()) {
            ++i;
            continue;
        }
        mClosed.push_back(mLeaving[i]);
        mLeaving[i] = mLeaving.back();
        mLeaving.pop_back();
    }
    ReleaseSpent(now);
    CloseLateJoiners(now);

    std::vector<Client::RelayClient*> reading;
    reading.swap(mToRead);
    for (Client::RelayClient* client : reading) {
        client->GetWorkerState().mToRead = false;
        Read(client, buffer, now);
    }
    for (Client::RelayClient* client : mToSend) {
        Client::RelayClient::WorkerState& state = client->GetWorkerState();
        state.mToSend = false;
        state.mAwaitingRoom = client->Send();
    }
    mToSend.clear();
    // Removed last: until here a readiness report or a notice may still name them.
    for (Client::RelayClient* client : mClosed) {
        // Removed at once, a client that sent a chat and closed would leave the room
        // before the chat was handled, and the chat would be lost.
        if (!client->GetWorkerState().mLeaving && client->HoldUntilHandled(&mWake)) {
            client->GetWorkerState().mLeaving = true;
            Erase(mToRead, client);
            Erase(mHeld, client);
            EraseTimed(mSpent, client);
            mLeaving.push_back(client);
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
                client->GetWorkerState().mHeld = true;
                mHeld.push_back(client);
                return;
            case Client::RelayClient::Received::Spent:
                // Its readiness is reported once, and is not reported again while it is
                // not read: the worker's own wait brings it back.
                client->GetWorkerState().mSpent = true;
                mSpent.emplace_back(client->GetReadableAt(), client);
                return;
            case Client::RelayClient::Received::Drained:
            case Client::RelayClient::Received::Closed:
                return;
        }
    }
    ListToRead(client);
}

void ClientThreadWorker::ReleaseSpent(double now) {
    for (size_t i = 0; i < mSpent.size();) {
        if (mSpent[i].first > now) {
            ++i;
            continue;
        }
        Client::RelayClient* client = mSpent[i].second;
        client->GetWorkerState().mSpent = false;
        ListToRead(client);
        mSpent[i] = mSpent.back();
        mSpent.pop_back();
    }
}

void ClientThreadWorker::CloseLateJoiners(double now) {
    if (mJoinDeadlines.empty() || mJoinDeadlines.front().first > now) {
        return;
    }
    auto& clients = MVC::Model::ZelvoRelayModel::Instance()->Clients;
    clients.mMonitor.Enter();
    while (!mJoinDeadlines.empty() && mJoinDeadlines.front().first <= now) {
        Client::RelayClient* client = mJoinDeadlines.front().second;
        mJoinDeadlines.pop_front();
        // Connections that never join would otherwise hold the places the room's
        // limit counts for as long as they like, and lock every member out.
        if (!client->GetUserModel().IsRegistered.mValue) {
            client->Disconnect();
        }
    }
    clients.mMonitor.Exit();
}

void ClientThreadWorker::Remove(Client::RelayClient* client) {
    auto& list = mClientList.mValue;
    for (uint32_t i = 0; i < list.Count(); ++i) {
        if (list[i] == client) {
            list.RemoveAt(i);
            break;
        }
    }
    mNumClients = list.Count();
    Erase(mToRead, client);
    Erase(mHeld, client);
    EraseTimed(mSpent, client);
    Erase(mLeaving, client);
    EraseTimed(mJoinDeadlines, client);
    MVC::Events::RemoveRelayClientEvent event(client);
    event.Dispatch();
}

int ClientThreadWorker::WaitTimeout() {
    if (!mToRead.empty()) {
        return 0;
    }
    if (mJoinDeadlines.empty() && mSpent.empty()) {
        return -1;
    }
    double due = mJoinDeadlines.empty() ? mSpent.front().first
                                        : mJoinDeadlines.front().first + kJoinDeadlineSlack;
    for (const auto& spent : mSpent) {
        due = std::min(due, spent.first);
    }
    const double wait = std::ceil((due - Now()) * 1000.0);
    return static_cast<int>(std::clamp(wait, 0.0, 1000.0 * 3600.0));
}

void ClientThreadWorker::ListToRead(Client::RelayClient* client) {
    Client::RelayClient::WorkerState& state = client->GetWorkerState();
    if (!state.mToRead && !state.mHeld && !state.mSpent) {
        state.mToRead = true;
        mToRead.push_back(client);
    }
}

void ClientThreadWorker::ListToSend(Client::RelayClient* client) {
    Client::RelayClient::WorkerState& state = client->GetWorkerState();
    if (!state.mToSend) {
        state.mToSend = true;
        mToSend.push_back(client);
    }
}

}  // namespace ZelvoRelay::Threading
