#include "ZelvoRelay/Threading/SpentClients.h"

namespace ZelvoRelay::Threading {

void SpentClients::Add(Client::RelayClient* client) {
    Client::RelayClient::WorkerState& state = client->GetWorkerState();
    if (!state.mSpent) {
        state.mSpentEntry = mByTime.emplace(client->GetReadableAt(), client);
        state.mSpent = true;
    }
}

void SpentClients::Remove(Client::RelayClient* client) {
    Client::RelayClient::WorkerState& state = client->GetWorkerState();
    if (state.mSpent) {
        state.mSpent = false;
        mByTime.erase(state.mSpentEntry);
    }
}

void SpentClients::TakeDue(double now, std::vector<Client::RelayClient*>& due) {
    while (!mByTime.empty() && mByTime.begin()->first <= now) {
        Client::RelayClient* client = mByTime.begin()->second;
        client->GetWorkerState().mSpent = false;
        mByTime.erase(mByTime.begin());
        due.push_back(client);
    }
}

void SpentClients::Clear() {
    for (const auto& [readableAt, client] : mByTime) {
        client->GetWorkerState().mSpent = false;
    }
    mByTime.clear();
}

}  // namespace ZelvoRelay::Threading
