#pragma once

#include "System/Collections/RecentMap.h"
#include "System/Net/IPAddress.h"
#include "System/Net/IPAddressKey.h"
#include "System/Threading/Monitor.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

// Bounds what the log writes about the connections of one address: their connecting,
// their leaving and the messages they send. Each address has two buckets of kBurstLines
// lines, one for the lines about its connections that have joined the room and one for
// those about its connections that have not, each refilled at kLinesPerSecond: with one,
// a connection without the password, piling requests at a member's address (one office),
// would spend the member's lines. A line that finds its bucket empty is left out and
// counted by kind, and a line naming the address and those counts is written once the
// first of them is kReportInterval old: before the address's next line, at the next tick
// (ReportDue), or at the stop (ReportRemaining), so no count is lost. One peer
// pipelining requests would otherwise write the log as fast as the server answers, and
// a member chatting stays far below the bound.
//
// Only the kMaxAddresses addresses seen last are remembered; the counts of one forgotten
// are written as it goes. A flood of addresses thus costs bounded memory, and each new
// address at most one burst. A line costs O(1); a tick looks at every address remembered.
//
// Thread-safe: lines come from the relay's accept thread and from the client workers,
// the ticks from the main thread.
class AddressLogLimiter {
  public:
    using Clock = std::chrono::steady_clock;

    // What a line is about.
    enum class Kind { Message, Connection, Leaving };
    // Which of the address's buckets a line draws on: whether the connection it is about
    // has joined the room.
    enum class Bucket { Joined, NotJoined };

    static constexpr uint32_t kLinesPerSecond = 20;
    static constexpr uint32_t kBurstLines = 200;
    static constexpr std::chrono::seconds kReportInterval{1};
    static constexpr size_t kMaxAddresses = 4096;

    AddressLogLimiter() = default;
    AddressLogLimiter(const AddressLogLimiter&) = delete;
    AddressLogLimiter& operator=(const AddressLogLimiter&) = delete;

    // Whether a line of kind about address (network order), drawn on bucket, is to be
    // written at now; if not, it is counted as left out. Writes first what was left out of
    // the address's lines when that is due, and of the address forgotten to remember this
    // one.
    bool Allows(const System::Net::IPAddress& address, Bucket bucket, Kind kind,
                Clock::time_point now);
    // As Allows, but a line the bucket has no room for is not counted: the caller holds it
    // until it knows whether the line may be left out, then writes it or calls LeaveOut.
    bool AllowsHeld(const System::Net::IPAddress& address, Bucket bucket, Clock::time_point now);
    // Counts a line of kind about address as left out at now: one that AllowsHeld refused
    // and that may be left out after all.
    void LeaveOut(const System::Net::IPAddress& address, Kind kind, Clock::time_point now);
    // Writes what was left out of each address's lines when that is due at now.
    void ReportDue(Clock::time_point now);
    // Writes what was left out of each address's lines and not yet written.
    void ReportRemaining(Clock::time_point now);

  private:
    static constexpr size_t kKinds = 3;
    static constexpr size_t kBuckets = 2;
    // What was left out of an address's lines over the time told.
    struct LeftOut {
        System::Net::IPAddress mAddress;
        std::chrono::seconds mTime{0};  // since the first was left out, rounded, at least 1
        std::array<uint64_t, kKinds> mCounts{};
    };
    // What is remembered of one address.
    struct Record {
        System::Net::IPAddress mAddress;  // network order
        // When each bucket is full again if no more lines are written; a line may be
        // written while this is less than a burst's time ahead.
        std::array<Clock::time_point, kBuckets> mFullAt{};
        std::array<uint64_t, kKinds> mLeftOut{};  // lines left out and not yet told
        Clock::time_point mLeftOutSince{};        // when the first of them was left out
    };
    // Whether record has lines left out and not yet told.
    static bool Owes(const Record& record) {
        return record.mLeftOut != std::array<uint64_t, kKinds>{};
    }
    // Whether record's left-out counts are to be written at now.
    static bool IsDue(const Record& record, Clock::time_point now) {
        return Owes(record) && now - record.mLeftOutSince >= kReportInterval;
    }
    // Takes the left-out counts of record, which owes some, to be written.
    static LeftOut Take(Record& record, Clock::time_point now);
    // The record of address, moved to the end of the list as the one seen last; made
    // if there is none, the one seen longest ago forgotten (its counts taken into
    // forgotten) when kMaxAddresses are remembered. REQUIRES: mLock held.
    Record& Remember(const System::Net::IPAddress& address, Clock::time_point now,
                     std::optional<LeftOut>& forgotten);
    // Takes a line at now out of record's bucket; false when the bucket is empty.
    static bool Spend(Record& record, Bucket bucket, Clock::time_point now);
    // Counts a line of kind at now as left out of record's lines.
    static void Count(Record& record, Kind kind, Clock::time_point now);
    // The one way of Allows, AllowsHeld and LeaveOut: takes a line out of bucket, if any,
    // and counts one of kind, if any, when it was not taken.
    bool Draw(const System::Net::IPAddress& address, std::optional<Bucket> bucket,
              std::optional<Kind> counted, Clock::time_point now);
    // Takes the counts of every address that owes some (only those due at now when
    // dueOnly) and writes them. REQUIRES: mLock not held.
    void Report(Clock::time_point now, bool dueOnly);
    // Writes one address's left-out counts. REQUIRES: mLock not held.
    static void Write(const LeftOut& leftOut);

    // Held around the field below; taken last, nothing is entered while it is held.
    System::Threading::Monitor mLock;
    // The remembered addresses.
    System::Collections::RecentMap<System::Net::IPAddressKey, Record,
                                   System::Net::IPAddressKey::Hash>
        mRecords{kMaxAddresses};
};
