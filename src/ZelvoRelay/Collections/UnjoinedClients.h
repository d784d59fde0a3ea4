#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <unordered_map>

#include "System/Net/IPAddress.h"
#include "System/Net/IPAddressKey.h"
#include "ZelvoRelay/Client/QueueShare.h"

namespace ZelvoRelay::Client {
class RelayClient;
}

namespace ZelvoRelay::Collections {

// The connections that have not joined the room, by IP address: each address's in the order
// they were added, and the addresses by how many they hold, so that the oldest of the
// address holding the most is found, and each is added or taken off, at a cost that does
// not grow with the number held. Among addresses holding as many, the one that came to hold
// that many first is taken. Holds no address without a client, so its memory follows the
// connections open. The clients are not owned.
//
// REQUIRES: external synchronization (the client-collection monitor).
class UnjoinedClients {
  public:
    UnjoinedClients() = default;
    UnjoinedClients(const UnjoinedClients&) = delete;
    UnjoinedClients& operator=(const UnjoinedClients&) = delete;

    // What the connections of one address which have not joined hold to send, counted
    // together (Client::RelayClient::ShareQueue).
    using Share = std::shared_ptr<Client::QueueShare>;

    // Adds client, connected from address, as the newest of that address; returns the
    // address's queue share. REQUIRES: client is not held.
    Share Add(Client::RelayClient* client, const System::Net::IPAddress& address);
    // Takes client off; nothing when it is not held.
    void Remove(const Client::RelayClient* client);
    void Clear();

    // The clients held from address.
    [[nodiscard]] uint32_t Count(const System::Net::IPAddress& address) const;
    // The clients held.
    [[nodiscard]] size_t Count() const { return mPlaces.size(); }
    // The oldest client of the address that holds the most; null when none is held.
    [[nodiscard]] Client::RelayClient* Oldest() const;
    // The clients held from address, oldest first; null when none is.
    [[nodiscard]] const std::list<Client::RelayClient*>* Of(
        const System::Net::IPAddress& address) const;

  private:
    struct Bucket;
    using Buckets = std::list<Bucket>;

    // One address's clients.
    struct Address {
        System::Net::IPAddressKey mKey;            // its key in mAddresses
        std::list<Client::RelayClient*> mClients;  // oldest first; never empty while listed
        Buckets::iterator mBucket;                 // the bucket of its count
        std::list<Address*>::iterator mInBucket;   // its place there
        Share mQueued;                             // its clients' queue share
    };
    // The addresses holding one count of clients.
    struct Bucket {
        uint32_t mCount;
        std::list<Address*> mAddresses;  // in the order they came to hold mCount
    };
    // Where one client is held.
    struct Place {
        Address* mAddress;
        std::list<Client::RelayClient*>::iterator mEntry;
    };

    using Addresses =
        std::unordered_map<System::Net::IPAddressKey, Address, System::Net::IPAddressKey::Hash>;
    using Places = std::unordered_map<const Client::RelayClient*, Place>;

    // Moves address, whose count has just changed from the count of its bucket, to the
    // bucket of its count, made when missing; an emptied bucket is dropped. A new address's
    // place in its bucket is taken from inBucket, allocated only when that is empty.
    void Rebucket(Address& address, std::list<Address*>& inBucket);
    // Puts a bucket of count before the one at before, a spare one when there is one;
    // returns it.
    Buckets::iterator NewBucket(Buckets::iterator before, uint32_t count);
    // Takes the empty bucket out of the buckets, keeping it as a spare when spares run short.
    void DropBucket(Buckets::iterator bucket);

    // The spare buckets Add makes sure of before it changes anything: one for its own change,
    // one for a Remove that undoes it, so that neither needs memory.
    static constexpr size_t kSpareBuckets = 2;

    Addresses mAddresses;  // those holding a client; node-based, so an Address never moves
    Places mPlaces;        // every client held
    Buckets mBuckets;      // by ascending count, none empty; the last holds the most
    Buckets mSpare;        // empty buckets kept for reuse, at most kSpareBuckets
};

}  // namespace ZelvoRelay::Collections
