#include "ZelvoRelay/Client/RelayBudget.h"

#include <gtest/gtest.h>

namespace ZelvoRelay::Client {
namespace {

constexpr double kRate = RelayBudget::kBytesPerSecond;
constexpr double kBurst = RelayBudget::kBurstBytes;

// Frames of frameBytes taken as fast as the budget allows from start until end, each read
// bringing one frame; the bytes taken. now ends at the last read.
double TakeAsFastAsAllowed(RelayBudget& budget, uint32_t frameBytes, double& now, double end) {
    double taken = 0;
    while (now < end) {
        if (budget.Allows(now)) {
            budget.Charge(frameBytes);
            taken += frameBytes;
        } else {
            now = budget.RepaidAt();
        }
    }
    return taken;
}

// One burst, then the average: a sender of 32,012-byte voice frames gets no more over a
// minute, a pause of an hour or more earns it one burst again, not the hour's worth, and the
// shortest frames count 64 bytes each.
TEST(RelayBudget, TakesOneBurstThenTheAverageRateAndCountsSmallFramesAsSixtyFourBytes) {
    constexpr uint32_t kVoice = 32012;
    RelayBudget budget;
    double now = 1000.0;
    const double minute = TakeAsFastAsAllowed(budget, kVoice, now, now + 60.0);
    EXPECT_GE(minute, kBurst + 60.0 * kRate - kVoice);
    EXPECT_LE(minute, kBurst + 60.0 * kRate + kVoice);

    now = 7200.0;
    double burst = 0;
    while (budget.Allows(now)) {
        budget.Charge(kVoice);
        burst += kVoice;
    }
    EXPECT_GE(burst, kBurst);
    EXPECT_LE(burst, kBurst + kVoice);

    now = 10800.0;  // sums of 64-byte charges stay exact from here
    uint32_t chats = 0;
    for (; budget.Allows(now); ++chats) {
        budget.Charge(9);
    }
    EXPECT_EQ(chats, static_cast<uint32_t>(kBurst / RelayBudget::kLeastFrameCost) + 1);
    // Refilled at the rate: the next one waits for one frame's worth.
    EXPECT_DOUBLE_EQ(budget.RepaidAt() - now, RelayBudget::kLeastFrameCost / kRate);
}

}  // namespace
}  // namespace ZelvoRelay::Client
