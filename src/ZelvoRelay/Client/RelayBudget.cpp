#include "ZelvoRelay/Client/RelayBudget.h"

#include <algorithm>

namespace ZelvoRelay::Client {

void RelayBudget::Charge(uint32_t frameBytes) {
    mBytes -= std::max(frameBytes, kLeastFrameCost);
}

bool RelayBudget::Refill(double now) {
    // Refilled before every read, not only once in debt: time spent with a full budget
    // earns nothing, and counting it later would allow a second burst behind the first.
    mBytes = std::min(kBurstBytes, mBytes + std::max(0.0, now - mRefilledAt) * kBytesPerSecond);
    mRefilledAt = std::max(mRefilledAt, now);
    return mBytes >= 0.0;
}

double RelayBudget::RepaidAt() const {
    return mRefilledAt + std::max(0.0, -mBytes) / kBytesPerSecond;
}

}  // namespace ZelvoRelay::Client
