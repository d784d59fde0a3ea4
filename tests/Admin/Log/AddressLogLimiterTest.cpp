#include "Admin/Log/AddressLogLimiter.h"

#include "Admin/ConsoleCapture.h"
#include "System/Net/IPAddress.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// What the server test cannot wait for or reach: pauses, the 4,096 addresses and the counts
// left at the stop, on a clock the test sets.
namespace {

using Bucket = AddressLogLimiter::Bucket;
using Kind = AddressLogLimiter::Kind;
using std::chrono::milliseconds;
using std::chrono::seconds;
using System::Net::IPAddress;

const AddressLogLimiter::Clock::time_point kStart =
    AddressLogLimiter::Clock::time_point() + std::chrono::hours(1);

// An IPv4 address in network order, as a connection's end point holds it.
IPAddress Address(uint32_t hostOrder) {
    return IPAddress(hostOrder).SwapEndian();
}

// How many of count lines of kind about address at now, drawn on bucket, are to be written.
uint32_t Allowed(AddressLogLimiter& limiter, const IPAddress& address, Kind kind, uint32_t count,
                 AddressLogLimiter::Clock::time_point now, Bucket bucket = Bucket::NotJoined) {
    uint32_t allowed = 0;
    for (uint32_t i = 0; i < count; ++i) {
        allowed += limiter.Allows(address, bucket, kind, now) ? 1 : 0;
    }
    return allowed;
}

// A burst of 200, then 20 a second; a pause refills one burst, never two. The lines left
// out are told by kind once the first is a second old: before the address's next line, or
// at a tick.
TEST(AddressLogLimiterTest, ABurstThenTwentyASecondAndWhatIsLeftOutIsTold) {
    AdminTest::ConsoleCapture console;
    AddressLogLimiter limiter;
    const IPAddress peer = Address(0x0A000001u);
    EXPECT_EQ(Allowed(limiter, peer, Kind::Connection, 200, kStart), 200u);
    EXPECT_EQ(Allowed(limiter, peer, Kind::Message, 90, kStart), 0u);
    EXPECT_EQ(Allowed(limiter, Address(0x0A000002u), Kind::Message, 200, kStart), 200u);
    EXPECT_EQ(Allowed(limiter, peer, Kind::Leaving, 1, kStart + milliseconds(49)), 0u);
    EXPECT_EQ(Allowed(limiter, peer, Kind::Message, 30, kStart + milliseconds(500)), 10u);
    limiter.ReportDue(kStart + milliseconds(999));
    EXPECT_TRUE(console.Texts().empty());
    limiter.ReportDue(kStart + seconds(1));
    EXPECT_EQ(console.Texts(),
              std::vector<std::string>{"Relay server left out 111 lines about 10.0.0.1 in the "
                                       "last 1 s: 110 messages sent, 1 leaving"});

    // A quiet address's next line tells first what was left out before it.
    EXPECT_EQ(Allowed(limiter, peer, Kind::Message, 21, kStart + milliseconds(1500)), 20u);
    EXPECT_TRUE(
        limiter.Allows(peer, Bucket::NotJoined, Kind::Connection, kStart + milliseconds(3600)));
    EXPECT_EQ(console.Texts().back(),
              "Relay server left out 1 line about 10.0.0.1 in the last 2 s: 1 message sent");
    EXPECT_EQ(Allowed(limiter, peer, Kind::Message, 400, kStart + seconds(100)), 200u);
}

// An address forgotten to make room for another, and the stop, write what was left out of
// its lines and not yet told, however recent.
TEST(AddressLogLimiterTest, CountsOfAForgottenAddressAndThoseLeftAtTheStopAreWritten) {
    AdminTest::ConsoleCapture console;
    AddressLogLimiter limiter;
    const IPAddress first = Address(0x0A000001u);
    const IPAddress second = Address(0x0A000002u);
    EXPECT_EQ(Allowed(limiter, first, Kind::Connection, 203, kStart), 200u);
    EXPECT_EQ(Allowed(limiter, second, Kind::Leaving, 202, kStart), 200u);
    for (uint32_t i = 2; i < AddressLogLimiter::kMaxAddresses; ++i) {
        EXPECT_TRUE(
            limiter.Allows(Address(0x0B000000u + i), Bucket::NotJoined, Kind::Message, kStart));
    }
    EXPECT_TRUE(console.Texts().empty());
    EXPECT_TRUE(limiter.Allows(Address(0x0C000000u), Bucket::NotJoined, Kind::Message,
                               kStart + milliseconds(10)));
    EXPECT_EQ(console.Texts(),
              std::vector<std::string>{"Relay server left out 3 lines about 10.0.0.1 in the "
                                       "last 1 s: 3 connections"});
    // Forgotten, it has a full burst again, and the one now seen longest ago goes.
    EXPECT_EQ(Allowed(limiter, first, Kind::Message, 201, kStart + milliseconds(20)), 200u);
    limiter.ReportRemaining(kStart + milliseconds(30));
    EXPECT_EQ(console.Texts(),
              (std::vector<std::string>{
                  "Relay server left out 3 lines about 10.0.0.1 in the last 1 s: 3 connections",
                  "Relay server left out 2 lines about 10.0.0.2 in the last 1 s: 2 leavings",
                  "Relay server left out 1 line about 10.0.0.1 in the last 1 s: 1 message sent"}));
}

// The lines about an address's connections that have joined and about those that have not
// draw on two buckets. A line held back when its bucket is empty is not counted until it is
// left out after all.
TEST(AddressLogLimiterTest, JoinedAndNotJoinedDrawOnTwoBucketsAndAHeldLineIsCountedOnlyIfLeftOut) {
    AdminTest::ConsoleCapture console;
    AddressLogLimiter limiter;
    const IPAddress office = Address(0x0A000001u);
    EXPECT_EQ(Allowed(limiter, office, Kind::Message, 300, kStart), 200u);
    EXPECT_FALSE(limiter.AllowsHeld(office, Bucket::NotJoined, kStart));
    EXPECT_EQ(Allowed(limiter, office, Kind::Message, 200, kStart, Bucket::Joined), 200u);
    EXPECT_TRUE(limiter.AllowsHeld(Address(0x0A000002u), Bucket::NotJoined, kStart));
    limiter.ReportRemaining(kStart + milliseconds(10));
    limiter.LeaveOut(office, Kind::Message, kStart + milliseconds(20));
    limiter.ReportRemaining(kStart + milliseconds(30));
    EXPECT_EQ(console.Texts(),
              (std::vector<std::string>{"Relay server left out 100 lines about 10.0.0.1 in the "
                                        "last 1 s: 100 messages sent",
                                        "Relay server left out 1 line about 10.0.0.1 in the "
                                        "last 1 s: 1 message sent"}));
}

}  // namespace
