#include "ZelvoRelay/Collections/UnjoinedDownloads.h"

#include <gtest/gtest.h>

#include <cstdint>

using System::Net::IPAddress;
using ZelvoRelay::Collections::UnjoinedDownloads;

namespace {

constexpr uint32_t kPlaces = UnjoinedDownloads::kMaxPerAddress;

// An address whose places are all held, by clients 1 to kPlaces, and client 100 waiting.
class UnjoinedDownloadsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (uint32_t id = 1; id <= kPlaces; ++id) {
            ASSERT_TRUE(mDownloads.Claim(id, mAddress));
        }
        ASSERT_FALSE(mDownloads.Claim(100, mAddress));
    }

    UnjoinedDownloads mDownloads;
    const IPAddress mAddress = IPAddress::Parse("10.0.0.1");
};

}  // namespace

// A client whose download ends with more of its own waiting goes behind the clients of its
// address that waited already: the place goes to the one that waited longest, and the client
// has the next place freed, once, without asking again.
TEST_F(UnjoinedDownloadsTest, AClientWithMoreToDownloadGoesBehindThoseWaiting) {
    EXPECT_EQ(mDownloads.End(1, true), 100u);
    EXPECT_EQ(mDownloads.End(2, false), 1u);
    EXPECT_EQ(mDownloads.End(3, false), 0u);
    EXPECT_FALSE(mDownloads.Knows(3));
    EXPECT_TRUE(mDownloads.Knows(1));
    // Fifteen places held, one free.
    EXPECT_TRUE(mDownloads.Claim(200, mAddress));
    EXPECT_FALSE(mDownloads.Claim(201, mAddress));
}

// The end of a download that holds no place (told twice, or of a client that only waits)
// frees none: the address would then run more downloads than its places.
TEST_F(UnjoinedDownloadsTest, AnEndWithoutAPlaceFreesNone) {
    EXPECT_EQ(mDownloads.End(100, true), 0u);
    EXPECT_EQ(mDownloads.End(1, false), 100u);
    EXPECT_EQ(mDownloads.End(1, false), 0u);
    EXPECT_FALSE(mDownloads.Claim(101, mAddress));
}

// Cleared, every client is forgotten and every place free again.
TEST_F(UnjoinedDownloadsTest, ClearedHoldsNoPlaceAndKnowsNoClient) {
    mDownloads.Clear();
    EXPECT_FALSE(mDownloads.Knows(1));
    EXPECT_FALSE(mDownloads.Knows(100));
    EXPECT_EQ(mDownloads.Forget(100), 0u);
    for (uint32_t id = 201; id < 201 + kPlaces; ++id) {
        EXPECT_TRUE(mDownloads.Claim(id, mAddress));
    }
}
