#pragma once

#include <cstdint>

#include "System/Object.h"

namespace ZelvoRelay::Client {

// What one connection may relay to the room: a token bucket over a clock that never
// goes back, filled at kBytesPerSecond up to kBurstBytes. Each chat or voice frame is
// taken out of it as it is framed, and the connection is not read while the bucket is
// in debt, so TCP slows a sender down to the budget instead of the server queueing
// everything it sends for every member. A read may bring in several frames at once:
// the debt that read leaves is repaid before the next one, so the average holds and a
// burst exceeds kBurstBytes by one read at most.
//
// Touched by the thread that reads the connection only. No lock.
class RelayBudget : public System::Object {
  public:
    // What the budget refills a second, on average.
    static constexpr double kBytesPerSecond = 256.0 * 1024;
    // The most a full budget holds: what may be taken at once after a pause.
    static constexpr double kBurstBytes = 1024.0 * 1024;
    // What a frame counts at least, so that tiny frames cannot come by the thousand.
    static constexpr uint32_t kLeastFrameCost = 64;

    // A full budget.
    RelayBudget() = default;
    ~RelayBudget() override = default;

    // Takes a frame of frameBytes bytes, its length prefix included, out of the budget,
    // which may fall into debt by it.
    void Charge(uint32_t frameBytes);
    // Adds what the time up to now (seconds on a clock that never goes back) has
    // earned since the last refill, up to a full budget. Returns whether the connection
    // may be read: the budget is not in debt.
    [[nodiscard]] bool Refill(double now);
    // When a budget in debt will have repaid it, in seconds of the clock given to
    // Refill; the last refill's time otherwise.
    [[nodiscard]] double RepaidAt() const;

  private:
    double mBytes{kBurstBytes};  // what may be taken now; below 0 while in debt
    // When mBytes was last refilled. A full budget gains nothing from the time before
    // its first refill, so 0 serves as the start.
    double mRefilledAt{0.0};
};

}  // namespace ZelvoRelay::Client
