#include "ZelvoRelay/Client/RelayBudget.h"

#include <algorithm>

namespace ZelvoRelay::Client {

bool RelayBudget::Allows(double now) {
    mReadAt = std::max(mReadAt, now);
    return mReadAt >= RepaidAt();
}

void RelayBudget::Charge(uint32_t frameBytes) {
    // A full bucket gains nothing from the time it stays full: counted from the read, not
    // from when it filled, a pause would allow a second burst behind the first.
    mFullAt = std::max(mFullAt, mReadAt) +
              static_cast<double>(std::max(frameBytes, kLeastFrameCost)) / kBytesPerSecond;
}

void RelayBudget::ChargeAt(uint32_t frameBytes, double now) {
    mReadAt = std::max(mReadAt, now);
    Charge(frameBytes);
}

}  // namespace ZelvoRelay::Client
