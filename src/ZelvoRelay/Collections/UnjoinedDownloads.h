#pragma once

#include <cstdint>
#include <list>
#include <unordered_map>

#include "System/Net/IPAddress.h"
#include "System/Net/IPAddressKey.h"

namespace ZelvoRelay::Collections {

// The places of running downloads that connections which have not joined the room hold, by
// the address they connected from: each holds at most kMaxPerConnection, and those of one
// address together at most kMaxPerAddress (one member's share), so that such connections,
// however many and however little they read, hold few files. A connection whose download
// waits for a place of its address is kept in the order it came to wait, and takes a place
// as one is freed. A connection is known here from its first download request until it
// holds no place and waits for none, or it joins or leaves. Every call costs the same
// however many connections are known.
//
// REQUIRES: the downloads monitor held around every call.
class UnjoinedDownloads {
  public:
    static constexpr uint32_t kMaxPerConnection = 1;
    static constexpr uint32_t kMaxPerAddress = 16;

    UnjoinedDownloads() = default;
    UnjoinedDownloads(const UnjoinedDownloads&) = delete;
    UnjoinedDownloads& operator=(const UnjoinedDownloads&) = delete;

    // For clientId, not joined, connected from address, asking a download: true when a place
    // is free, which it then holds. Otherwise the download is to wait, and the client waits
    // for a place of its address unless it already holds one.
    bool Claim(uint32_t clientId, const System::Net::IPAddress& address);
    // Whether clientId is known here (it has not joined).
    [[nodiscard]] bool Knows(uint32_t clientId) const;
    // One download of clientId, a known client, ended, freeing its place; more tells whether
    // the client has more waiting. Returns the client that takes the place, which it then
    // holds: the one of the address that has waited longest, clientId with more waiting
    // going behind the others; 0 when none waits.
    uint32_t End(uint32_t clientId, bool more);
    // clientId joined or left: it holds no place of its address from now on, and waits for
    // none. Returns the client that takes a place it freed, as End does; 0 for none.
    uint32_t Forget(uint32_t clientId);
    void Clear();

  private:
    // One address's places.
    struct Address {
        uint32_t mRunning{0};          // places held
        std::list<uint32_t> mWaiting;  // clients waiting for a place, longest first
    };
    // One client's.
    struct Connection {
        System::Net::IPAddressKey mAddress;
        uint32_t mRunning{0};                  // places held
        bool mWaits{false};                    // listed in its address's mWaiting
        std::list<uint32_t>::iterator mEntry;  // its place there, while mWaits
    };

    // Gives a freed place of address, known as key, to the client that has waited longest,
    // and lets go of what no longer holds a place or waits. Returns that client, or 0.
    uint32_t PassOn(const System::Net::IPAddressKey& key);
    // Lets go of client when it holds no place and waits for none.
    void Drop(std::unordered_map<uint32_t, Connection>::iterator client);

    std::unordered_map<System::Net::IPAddressKey, Address, System::Net::IPAddressKey::Hash>
        mAddresses;
    std::unordered_map<uint32_t, Connection> mConnections;
};

}  // namespace ZelvoRelay::Collections
