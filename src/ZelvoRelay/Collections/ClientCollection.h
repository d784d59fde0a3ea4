#pragma once

#include <cstdint>

#include "System/Collections/BCollection.h"

namespace ZelvoRelay::Client {
class RelayClient;
}

namespace ZelvoRelay::Collections {

// The connected clients, sorted by ascending client id (unique), with a change event
// for every insertion and removal, and the number of them that have joined the room.
// The collection does not own the clients: the relay's commands create and delete them.
//
// REQUIRES: the client-collection monitor (the monitor of ZelvoRelayModel::Clients)
// held around every use.
class ClientCollection : public System::Collections::BCollection<Client::RelayClient*> {
  public:
    ~ClientCollection() override = default;

    // The client with the given id, found by bisection, or null.
    [[nodiscard]] Client::RelayClient* FindClient(uint32_t clientId) const;

    // Marks client, held here and not joined yet, as joined (its IsRegistered), and
    // counts it among NumJoined until it is removed.
    void Join(Client::RelayClient& client);
    // The clients held here that have joined the room.
    [[nodiscard]] uint32_t NumJoined() const { return mNumJoined; }

    void RemoveAt(uint32_t index) override;
    void Clear() override;

  private:
    uint32_t mNumJoined{0};  // see NumJoined
};

}  // namespace ZelvoRelay::Collections
