#pragma once

#include <cstdint>
#include <vector>

#include "ZelvoRelay/Client/RelayClient.h"

namespace ZelvoRelay::Threading {

// Clients listed for one purpose of a client worker, each at most once, in no lasting
// order. Each client keeps its place in the list in the field Slot of its WorkerState,
// so that listing, unlisting and asking cost the same however many clients are listed:
// a worker that searched its lists for each client it removed took quadratic time when
// thousands of connections ended at once.
//
// REQUIRES: the worker's own synchronisation, as for the WorkerState.
template <uint32_t Client::RelayClient::WorkerState::*Slot>
class ClientList {
  public:
    using Clients = std::vector<Client::RelayClient*>;

    [[nodiscard]] bool Contains(Client::RelayClient* client) const {
        return client->GetWorkerState().*Slot != Client::RelayClient::WorkerState::kUnlisted;
    }
    [[nodiscard]] size_t Count() const { return mClients.size(); }
    [[nodiscard]] bool Empty() const { return mClients.empty(); }
    // The client at index, for a walk. REQUIRES: index < Count().
    Client::RelayClient* operator[](size_t index) const { return mClients[index]; }

    // Lists client unless it is listed already.
    void Add(Client::RelayClient* client) {
        if (!Contains(client)) {
            // Listed first: when memory runs out the client is left unlisted, not marked as
            // listed where it is not.
            mClients.push_back(client);
            client->GetWorkerState().*Slot = static_cast<uint32_t>(mClients.size() - 1);
        }
    }
    // Unlists client if it is listed; the last client takes its place.
    void Remove(Client::RelayClient* client) {
        if (Contains(client)) {
            RemoveAt(client->GetWorkerState().*Slot);
        }
    }
    // Unlists the client at index; the last client takes its place. REQUIRES: index <
    // Count().
    void RemoveAt(size_t index) {
        mClients[index]->GetWorkerState().*Slot = Client::RelayClient::WorkerState::kUnlisted;
        if (index + 1 < mClients.size()) {
            mClients[index] = mClients.back();
            mClients[index]->GetWorkerState().*Slot = static_cast<uint32_t>(index);
        }
        mClients.pop_back();
    }
    // Unlists every client and returns them.
    Clients TakeAll() {
        Clients taken;
        taken.swap(mClients);
        for (Client::RelayClient* client : taken) {
            client->GetWorkerState().*Slot = Client::RelayClient::WorkerState::kUnlisted;
        }
        return taken;
    }

  private:
    Clients mClients;  // the listed clients; each one's Slot is its index here
};

}  // namespace ZelvoRelay::Threading
