#pragma once

#include <chrono>
#include <cstdint>

#include "System/Threading/Monitor.h"

namespace System::Net {
class Server;
}

// Tells the operator when the open file limit is what keeps members out: at start-up,
// when the limit leaves room for fewer connections than the room admits, and whenever
// a server closes connections at once to keep the descriptors reserved for the saves
// (System::IO::DescriptorLimit), at most once a minute, since a flood of connections
// would otherwise flood the log as well; the connections closed since the last such line
// are told at the next one or when a server stops, so every one is counted.
class DescriptorReserveLog {
  public:
    // What one relay connection holds: its TCP connection and its UDP socket.
    static constexpr uint64_t kDescriptorsPerConnection = 2;
    // The least time between two lines about closed connections.
    static constexpr std::chrono::seconds kInterval{60};

    DescriptorReserveLog() = default;
    DescriptorReserveLog(const DescriptorReserveLog&) = delete;
    DescriptorReserveLog& operator=(const DescriptorReserveLog&) = delete;

    // Logs a warning when the descriptors neither open now nor reserved leave room for
    // fewer connections than the room admits (RoomMaxClients). Called once the servers
    // listen, so that their own descriptors are counted.
    static void WarnOfFewConnections();

    // A server closed a connection at once to keep the reserve (its accept thread).
    // Logs how many were closed since the last such line, unless one was written less
    // than kInterval ago.
    void OnClientRefused(System::Net::Server* server);
    // A server stopped (its accept thread, after its last refusal): logs the connections
    // closed since the last such line, if any.
    void ReportRemaining();

  private:
    using Clock = std::chrono::steady_clock;

    // Logs that count connections were closed. REQUIRES: mLock not held.
    static void Report(uint64_t count);
    // Takes the connections closed and not yet logged, and counts a line written now.
    // REQUIRES: mLock held.
    uint64_t TakeForLine(Clock::time_point now);

    // Held around the three fields below; taken last, nothing is entered while it is held.
    System::Threading::Monitor mLock;
    bool mLogged{false};            // a line has been written
    Clock::time_point mLastLine;    // when the last line was written
    uint64_t mRefusedSinceLine{0};  // connections closed and not yet logged
};
