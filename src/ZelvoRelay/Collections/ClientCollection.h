#pragma once

#include <cstdint>

#include "System/Collections/BCollection.h"

namespace ZelvoRelay::Client {
class RelayClient;
}

namespace ZelvoRelay::Collections {

// The connected clients, sorted by ascending client id (unique), with a change event
// for every insertion and removal. The collection does not own the clients: the
// relay's commands create and delete them.
//
// REQUIRES: the client-collection monitor (the monitor of ZelvoRelayModel::Clients)
// held around every use.
class ClientCollection : public System::Collections::BCollection<Client::RelayClient*> {
  public:
    ~ClientCollection() override = default;

    // The client with the given id, found by bisection, or null.
    [[nodiscard]] Client::RelayClient* FindClient(uint32_t clientId) const;
};

}  // namespace ZelvoRelay::Collections
