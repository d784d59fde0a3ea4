#include "ZelvoRelay/Threading/StopDiscard.h"

#include <gtest/gtest.h>

#include <atomic>

using ZelvoRelay::Threading::StopDiscard;

namespace {

std::atomic<bool> sAskedAgain{false};

bool AskedAgain() {
    return sAskedAgain.load();
}

}  // namespace

// Pieces are kept until the stop's test turns true, each then discarded and counted; a new
// start keeps every piece and counts from 0 again.
TEST(StopDiscardTest, DiscardsAndCountsEachPieceOnceTheStopIsAskedAgain) {
    StopDiscard discard;
    sAskedAgain = false;
    discard.DiscardWhen(&AskedAgain);
    EXPECT_FALSE(discard.Discards());
    sAskedAgain = true;
    EXPECT_TRUE(discard.Discards());
    EXPECT_TRUE(discard.Discards());
    EXPECT_EQ(discard.GetNumDiscarded(), 2u);
    discard.Reset();
    EXPECT_FALSE(discard.Discards());
    EXPECT_EQ(discard.GetNumDiscarded(), 0u);
}
