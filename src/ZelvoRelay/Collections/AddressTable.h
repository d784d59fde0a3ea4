#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>

#include "System/Collections/RecentMap.h"
#include "System/Net/IPAddress.h"
#include "System/Net/IPAddressKey.h"
#include "System/Threading/Monitor.h"
#include "ZelvoRelay/Client/RelayBudget.h"

namespace ZelvoRelay::Message {
class BaseMessage;
}

namespace ZelvoRelay::Collections {

// What the relay server keeps per IP address, one party for what its connections cost:
// - The room passwords it tries. An address whose joins were refused for a wrong password
//   kMaxWrongPasswords times within kWindow is blocked for kBlockTime from the last of
//   them.
// - The notices the members are sent about its connections coming and going. Each draws
//   on a budget of the address (Client::RelayBudget, as a connection's relayed frames draw
//   on its own), counted once however many members receive it; one joining or leaving is
//   never held back, so the budget may fall into debt.
// While an address is blocked or its budget in debt, the relay server closes its new
// connections at once, unread. Only the kMaxAddresses addresses seen last are remembered
// (a refusal, a notice or a connection checked counts as seen; one forgotten starts
// afresh), so a flood of addresses costs a bounded amount of memory. Every call is O(1).
//
// Thread-safe: joins are handled on the message worker, leaves on the client workers, and
// connections are checked on the relay server's accept thread.
class AddressTable {
  public:
    using Clock = std::chrono::steady_clock;

    static constexpr uint32_t kMaxWrongPasswords = 10;
    static constexpr std::chrono::minutes kWindow{2};
    static constexpr std::chrono::minutes kBlockTime{5};
    static constexpr size_t kMaxAddresses = 4096;

    AddressTable() = default;
    AddressTable(const AddressTable&) = delete;
    AddressTable& operator=(const AddressTable&) = delete;

    // Counts a join from address refused for a wrong password at now. Returns true when
    // this refusal begins a block of the address; while a block runs, the refusals that
    // would begin one lengthen it instead.
    bool CountWrongPassword(const System::Net::IPAddress& address, Clock::time_point now);
    // Takes notice, a message the members are sent about a connection from address joining
    // or leaving, out of the address's budget at now. A time earlier than one given before
    // for the address counts as that one.
    void ChargeNotice(const System::Net::IPAddress& address, const Message::BaseMessage& notice,
                      Clock::time_point now);
    // Whether a new connection from address at now is to be closed at once.
    [[nodiscard]] bool IsRefused(const System::Net::IPAddress& address, Clock::time_point now);

  private:
    // What is remembered of one address.
    struct Record {
        // The times of its last kMaxWrongPasswords refusals, a ring starting at mOldest.
        std::array<Clock::time_point, kMaxWrongPasswords> mRefusals{};
        uint32_t mCount{0};                 // refusals held in mRefusals
        uint32_t mOldest{0};                // index of the oldest one
        Clock::time_point mBlockedUntil{};  // new connections are closed before this
        Client::RelayBudget mNotices;       // what the notices about its connections took
    };
    // The budget's time for now.
    static double Seconds(Clock::time_point now);

    // Held around the field below; taken last, nothing is entered while it is held.
    System::Threading::Monitor mLock;
    // The remembered addresses.
    System::Collections::RecentMap<System::Net::IPAddressKey, Record,
                                   System::Net::IPAddressKey::Hash>
        mRecords{kMaxAddresses};
};

}  // namespace ZelvoRelay::Collections
