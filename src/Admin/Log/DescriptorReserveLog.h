#pragma once

#include <array>
#include <chrono>
#include <cstdint>

#include "System/IO/DescriptorRoom.h"
#include "System/Threading/Monitor.h"

// Tells the operator when the open file limit is what keeps members out: at start-up,
// when the limit leaves room for fewer connections than the room admits or for fewer than
// 16 downloads at once for each member (and shares it out), and whenever
// what peers ask for would take a descriptor reserved for the saves
// (System::IO::DescriptorLimit), so that a connection that has not joined is closed for
// it or it is refused (System::IO::DescriptorRoom). Those are counted by what they were
// for and logged at most once a minute, since a flood of connections would otherwise flood
// the log as well; the ones since the last line are told at the next one, when a minute has
// passed, or when a server stops, so every one is counted.
class DescriptorReserveLog : public System::IO::DescriptorRoom::Listener {
  public:
    // What one relay connection holds: its TCP connection and its UDP socket.
    static constexpr uint64_t kDescriptorsPerConnection = 2;
    // The least time between two lines about the reserve.
    static constexpr std::chrono::seconds kInterval{60};

    DescriptorReserveLog() = default;
    DescriptorReserveLog(const DescriptorReserveLog&) = delete;
    DescriptorReserveLog& operator=(const DescriptorReserveLog&) = delete;

    // Shares out the descriptors neither open now nor reserved: logs a warning when they
    // leave room for fewer connections than the room admits (RoomMaxClients), makes what
    // they leave beside those connections the table of transfer files
    // (ZelvoRelay::Collections::TransferFiles), and when that is less than 16 for each place,
    // sets each member's share of it (which may be none; a member runs at least one) as the
    // downloads and uploads a member runs at once and logs it. Called once the servers
    // listen, so that their own descriptors are counted.
    static void ShareOutDescriptors();

    // A connection that had not joined was closed to make room for use, or use was refused
    // (any thread). Logs the counts since the last line, unless one was written less than
    // kInterval ago.
    void OnDescriptorRoom(System::IO::DescriptorRoom::Use use, bool closed) override;
    // Logs the counts since the last line when it was written kInterval ago or more.
    void ReportDue();
    // A server stopped: logs the counts since the last line, if any.
    void ReportRemaining();

  private:
    using Clock = std::chrono::steady_clock;
    using Use = System::IO::DescriptorRoom::Use;

    // Sets the table of transfer files that spare descriptors leave beside maxClients
    // connections, and sets and logs the members' share of it when fewer than 16 each fit
    // (ShareOutDescriptors).
    static void ShareOutDownloads(uint64_t spare, uint32_t maxClients);

    // Closings and refusals at the reserve, by use.
    struct Counts {
        std::array<uint64_t, System::IO::DescriptorRoom::kUses> mClosed{};
        std::array<uint64_t, System::IO::DescriptorRoom::kUses> mRefused{};

        [[nodiscard]] bool Empty() const;
    };

    // Logs counts. REQUIRES: mLock not held.
    static void Report(const Counts& counts);
    // Takes the counts not yet logged when there are some and due is set, and counts a line
    // written now; empty counts otherwise. REQUIRES: mLock held.
    Counts TakeForLine(bool due, Clock::time_point now);
    // Whether a line may be written at now. REQUIRES: mLock held.
    [[nodiscard]] bool IsDue(Clock::time_point now) const;

    // Held around the three fields below; taken last, nothing is entered while it is held.
    System::Threading::Monitor mLock;
    bool mLogged{false};          // a line has been written
    Clock::time_point mLastLine;  // when the last line was written
    Counts mSinceLine;            // closings and refusals not yet logged
};
