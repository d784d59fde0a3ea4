#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <list>
#include <unordered_map>

#include "System/Net/IPAddress.h"
#include "System/Threading/Monitor.h"

namespace ZelvoRelay::Server {

// Bounds the room passwords one address may try. An address whose joins were refused
// for a wrong password kMaxWrongPasswords times within kWindow is blocked for kBlockTime
// from the last of them: the relay server closes its new connections at once, unread.
// Only the kMaxAddresses addresses seen last are remembered (a refusal or a connection
// checked counts as seen), so a flood of addresses costs a bounded amount of memory.
// Every call is O(1).
//
// Thread-safe: refusals are counted on the message worker, connections are checked on
// the relay server's accept thread.
class WrongPasswordLimiter {
  public:
    using Clock = std::chrono::steady_clock;

    static constexpr uint32_t kMaxWrongPasswords = 10;
    static constexpr std::chrono::minutes kWindow{2};
    static constexpr std::chrono::minutes kBlockTime{5};
    static constexpr size_t kMaxAddresses = 4096;

    WrongPasswordLimiter() = default;
    WrongPasswordLimiter(const WrongPasswordLimiter&) = delete;
    WrongPasswordLimiter& operator=(const WrongPasswordLimiter&) = delete;

    // Counts a join from address refused for a wrong password at now. Returns true when
    // this refusal begins a block of the address; while a block runs, the refusals that
    // would begin one lengthen it instead.
    bool CountWrongPassword(const System::Net::IPAddress& address, Clock::time_point now);
    // Whether a new connection from address at now is to be closed at once.
    [[nodiscard]] bool IsBlocked(const System::Net::IPAddress& address, Clock::time_point now);

  private:
    // The address bytes and family, as a key.
    struct Key {
        uint64_t mHigh{0};
        uint64_t mLow{0};
        int32_t mFamily{0};
        bool operator==(const Key& other) const {
            return mHigh == other.mHigh && mLow == other.mLow && mFamily == other.mFamily;
        }
    };
    struct KeyHash {
        size_t operator()(const Key& key) const;
    };
    // What is remembered of one address.
    struct Record {
        Key mKey;
        // The times of its last kMaxWrongPasswords refusals, a ring starting at mOldest.
        std::array<Clock::time_point, kMaxWrongPasswords> mRefusals{};
        uint32_t mCount{0};                 // refusals held in mRefusals
        uint32_t mOldest{0};                // index of the oldest one
        Clock::time_point mBlockedUntil{};  // new connections are closed before this
    };
    using Records = std::list<Record>;

    static Key KeyOf(const System::Net::IPAddress& address);
    // The record of key, moved to the end of the list as the one seen last, or null.
    Record* Touch(const Key& key);

    // Held around the two fields below; taken last, nothing is entered while it is held.
    System::Threading::Monitor mLock;
    // The remembered addresses, the one seen longest ago first.
    Records mRecords;
    // Each remembered address's place in mRecords.
    std::unordered_map<Key, Records::iterator, KeyHash> mIndex;
};

}  // namespace ZelvoRelay::Server
