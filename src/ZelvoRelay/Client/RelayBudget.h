#pragma once

#include <cstdint>

#include "System/Object.h"

namespace ZelvoRelay::Client {

// What one connection may relay to the room: a token bucket, filled at kBytesPerSecond
// up to kBurstBytes. Each frame relayed to the room (chat, voice, name and status
// changes) is taken out of it as it is framed, and the connection is not read while the
// bucket is in debt (its worker reads it again once the bucket holds kResumeBytes), so TCP
// slows a sender down to the budget instead of the server queueing everything it sends for
// every member. A read may bring in several frames at once: the debt that read leaves is
// repaid before the next one, so the average holds and a burst exceeds kBurstBytes by one
// read at most.
//
// Kept as the time at which the bucket is full again, so that a read costs one
// comparison and the time given back for the next read is exactly the one that allows
// it. Times are seconds on a clock that never goes back; a time earlier than one given
// before counts as that one, so that callers that read the clock before taking a lock
// agree on what the budget holds. A connection's budget is touched by the thread that
// reads the connection only, with no lock; an address's (Collections::AddressTable) is
// touched under its table's lock.
class RelayBudget : public System::Object {
  public:
    // What the budget refills a second, on average.
    static constexpr double kBytesPerSecond = 256.0 * 1024;
    // The most a full budget holds: what may be taken at once after a pause.
    static constexpr double kBurstBytes = 1024.0 * 1024;
    // What a frame counts at least, so that tiny frames cannot come by the thousand.
    static constexpr uint32_t kLeastFrameCost = 64;
    // What the budget holds again when a connection held back by it is read again.
    static constexpr double kResumeBytes = 16.0 * 1024;

    // A full budget.
    RelayBudget() = default;
    ~RelayBudget() override = default;

    // Whether the connection may be read at now: the budget is not in debt. The frames
    // that read brings in are charged as taken at now.
    [[nodiscard]] bool Allows(double now);
    // Takes a frame of frameBytes bytes, its length prefix included, out of the budget,
    // which may fall into debt by it.
    void Charge(uint32_t frameBytes);
    // Charge, the frame taken at now.
    void ChargeAt(uint32_t frameBytes, double now);
    // The earliest time Allows is true.
    [[nodiscard]] double RepaidAt() const { return mFullAt - kBurstBytes / kBytesPerSecond; }
    // When a connection held back by the budget is best read again: once it holds
    // kResumeBytes. Read as soon as it allows a frame, a throttled connection would be read,
    // and its worker woken, for every frame or two: about a thousand times a second.
    [[nodiscard]] double ResumesAt() const { return RepaidAt() + kResumeBytes / kBytesPerSecond; }

  private:
    // When the bucket is full again if nothing more is taken; at or before mReadAt
    // while it is full.
    double mFullAt{0.0};
    double mReadAt{0.0};  // the latest time given to Allows
};

}  // namespace ZelvoRelay::Client
