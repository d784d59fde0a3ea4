#include "ZelvoRelay/Server/WrongPasswordLimiter.h"

#include <gtest/gtest.h>

#include <cstdint>

// What the server test cannot wait for or reach: the two minutes, the five minutes and
// the 4,096 addresses, on a clock the test sets.
namespace {

using Limiter = ZelvoRelay::Server::WrongPasswordLimiter;
using std::chrono::minutes;
using std::chrono::seconds;
using System::Net::IPAddress;

const Limiter::Clock::time_point kStart = Limiter::Clock::time_point() + minutes(60);

// Counts ten refusals of address, a second apart from at; whether the last began a block.
bool TenRefusals(Limiter& limiter, const IPAddress& address, Limiter::Clock::time_point at) {
    bool began = false;
    for (int i = 0; i < 10; ++i) {
        began = limiter.CountWrongPassword(address, at + seconds(i));
    }
    return began;
}

// Ten refusals within two minutes block for five minutes from the last; ten spread over
// more than two minutes do not. Refusals during a block lengthen it without beginning one.
TEST(WrongPasswordLimiterTest, TenWithinTwoMinutesBlockForFiveMinutes) {
    Limiter limiter;
    const IPAddress slow(0x7F000002u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_FALSE(limiter.CountWrongPassword(slow, kStart + seconds(14 * i)));
    }
    EXPECT_FALSE(limiter.IsBlocked(slow, kStart + seconds(127)));
    // Within two minutes of the second, the first of the last ten.
    EXPECT_TRUE(limiter.CountWrongPassword(slow, kStart + seconds(134)));
    EXPECT_TRUE(limiter.IsBlocked(slow, kStart + seconds(134) + minutes(5) - seconds(1)));
    EXPECT_FALSE(limiter.IsBlocked(slow, kStart + seconds(134) + minutes(5)));

    const IPAddress fast(0x7F000003u);
    EXPECT_TRUE(TenRefusals(limiter, fast, kStart));
    EXPECT_FALSE(TenRefusals(limiter, fast, kStart + minutes(4)));
    EXPECT_TRUE(limiter.IsBlocked(fast, kStart + minutes(9)));
    EXPECT_FALSE(limiter.IsBlocked(fast, kStart + minutes(9) + seconds(9)));
    EXPECT_FALSE(limiter.IsBlocked(IPAddress(0x7F000004u), kStart));
}

// At most 4,096 addresses are remembered: the one seen longest ago is forgotten first, and
// a blocked address that keeps connecting is seen.
TEST(WrongPasswordLimiterTest, TheAddressSeenLongestAgoIsForgottenFirst) {
    Limiter limiter;
    const IPAddress first(0x0A000001u);
    const IPAddress second(0x0A000002u);
    const Limiter::Clock::time_point later = kStart + minutes(1);
    ASSERT_TRUE(TenRefusals(limiter, first, kStart));
    ASSERT_TRUE(TenRefusals(limiter, second, kStart));
    // The first connects again, so the second is now the one seen longest ago.
    EXPECT_TRUE(limiter.IsBlocked(first, later));
    for (uint32_t i = 0; i < Limiter::kMaxAddresses - 2; ++i) {
        limiter.CountWrongPassword(IPAddress(0x0B000000u + i), later);
    }
    // Full: each new address now takes the place of the one seen longest ago.
    limiter.CountWrongPassword(IPAddress(0x0C000000u), later);
    EXPECT_FALSE(limiter.IsBlocked(second, later));
    limiter.CountWrongPassword(IPAddress(0x0C000001u), later);
    EXPECT_FALSE(limiter.IsBlocked(first, later));
}

}  // namespace
