#pragma once

#include <cstdint>

#include "System/Collections/BCollection.h"
#include "System/Collections/BVector.h"
#include "System/Net/IPAddress.h"
#include "ZelvoRelay/Collections/UnjoinedClients.h"

namespace ZelvoRelay::Client {
class RelayClient;
}

namespace ZelvoRelay::Collections {

// The connected clients, sorted by ascending client id (unique), with a change event
// for every insertion and removal, and those of them that have joined the room, apart:
// what is sent to the room goes to the members without a walk over every connection
// (a stop closing 9,900 connections that never joined walked them all for each one's
// leave notice). Those that have not joined are kept apart too, by address, so that the
// one to close when descriptors run short is found without a walk. The collection does
// not own the clients: the relay's commands create and delete them.
//
// REQUIRES: the client-collection monitor (the monitor of ZelvoRelayModel::Clients)
// held around every use.
class ClientCollection : public System::Collections::BCollection<Client::RelayClient*> {
  public:
    ~ClientCollection() override = default;

    // The client with the given id, found by bisection, or null.
    [[nodiscard]] Client::RelayClient* FindClient(uint32_t clientId) const;

    // Adds client, which has not joined, also among the unjoined of its address, noting
    // how many admissions came before it: the members admitted from now on are those told
    // of it.
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

    // The open connections from address that have not joined, and those closed but not yet
    // removed (until TakeOldestUnjoined passes them).
    [[nodiscard]] uint32_t NumUnjoined(const System::Net::IPAddress& address) const {
        return mUnjoined.Count(address);
    }
    // Takes the open connection that has not joined, the oldest of the address that holds
    // the most such connections, off the unjoined, which forget on the way those found
    // closed; null when none is open.
    [[nodiscard]] Client::RelayClient* TakeOldestUnjoined();
    // Closes, as a slow reader is closed, the connection from address that has not joined and
    // holds the most bytes queued to send; called when those of the address together hold
    // more than one member may. Walks that address's connections only.
    void CloseMostQueuedUnjoined(const System::Net::IPAddress& address);

    void RemoveAt(uint32_t index) override;
    void Clear() override;

  private:
    // The clients that have joined, sorted like the collection; no more than the room
    // admits.
    System::Collections::BVector<Client::RelayClient*> mJoined;
    uint64_t mAdmissions{0};  // joins admitted, counted from the start
    // The clients that have not joined, by the address they connected from.
    UnjoinedClients mUnjoined;
};

}  // namespace ZelvoRelay::Collections
