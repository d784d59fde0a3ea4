#pragma once

#include <cstdint>

#include "System/Collections/BCollection.h"
#include "System/Collections/BVector.h"

namespace ZelvoRelay::Client {
class RelayClient;
}

namespace ZelvoRelay::Collections {

// The connected clients, sorted by ascending client id (unique), with a change event
// for every insertion and removal, and those of them that have joined the room, apart:
// what is sent to the room goes to the members without a walk over every connection
// (a stop closing 9,900 connections that never joined walked them all for each one's
// leave notice). The collection does not own the clients: the relay's commands create
// and delete them.
//
// REQUIRES: the client-collection monitor (the monitor of ZelvoRelayModel::Clients)
// held around every use.
class ClientCollection : public System::Collections::BCollection<Client::RelayClient*> {
  public:
    ~ClientCollection() override = default;

    // The client with the given id, found by bisection, or null.
    [[nodiscard]] Client::RelayClient* FindClient(uint32_t clientId) const;

    // Adds client, which has not joined, noting how many admissions came before it: the
    // members admitted from now on are those told of it.
    void Add(const Client::RelayClient& client) override;
    // Marks client, held here and not joined yet, as joined (its IsRegistered), gives it
    // the next admission number, and counts it among the joined until it is removed.
    void Join(Client::RelayClient& client);
    // The admissions made so far.
    [[nodiscard]] uint64_t NumAdmissions() const { return mAdmissions; }
    // The clients held here that have joined the room.
    [[nodiscard]] uint32_t NumJoined() const { return mJoined.Count(); }
    // The joined client at index, in ascending client id. REQUIRES: index < NumJoined().
    Client::RelayClient& JoinedAt(uint32_t index) { return mJoined[index]; }

    void RemoveAt(uint32_t index) override;
    void Clear() override;

  private:
    // The clients that have joined, sorted like the collection; no more than the room
    // admits.
    System::Collections::BVector<Client::RelayClient*> mJoined;
    uint64_t mAdmissions{0};  // joins admitted, counted from the start
};

}  // namespace ZelvoRelay::Collections
