#pragma once

#include <map>
#include <vector>

#include "ZelvoRelay/Client/RelayClient.h"

namespace ZelvoRelay::Threading {

// The clients of one client worker that are not read until their relay budget allows it
// (RelayClient::GetReadableAt), by that time: a turn looks only at those whose time has come
// and the wait at the first, never at every one spent. Listing costs the logarithm of how
// many are listed, unlisting the same whatever their number.
//
// REQUIRES: the worker's own synchronisation, as for the WorkerState.
class SpentClients {
  public:
    SpentClients() = default;
    SpentClients(const SpentClients&) = delete;
    SpentClients& operator=(const SpentClients&) = delete;

    [[nodiscard]] bool Contains(Client::RelayClient* client) {
        return client->GetWorkerState().mSpent;
    }
    [[nodiscard]] bool Empty() const { return mByTime.empty(); }
    // The earliest time a listed client may be read. REQUIRES: !Empty().
    [[nodiscard]] double NextReadableAt() const { return mByTime.begin()->first; }

    // Lists client until its GetReadableAt(), unless it is listed already.
    void Add(Client::RelayClient* client);
    // Unlists client if it is listed.
    void Remove(Client::RelayClient* client);
    // Unlists the clients that may be read at time now and appends them to due.
    void TakeDue(double now, std::vector<Client::RelayClient*>& due);
    // Unlists every client.
    void Clear();

  private:
    using ByTime = std::multimap<double, Client::RelayClient*>;

    ByTime mByTime;  // each listed client's entry is its WorkerState's mSpentEntry
};

}  // namespace ZelvoRelay::Threading
