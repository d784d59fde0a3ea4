#include "ZelvoRelay/Collections/AddressTable.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "ZelvoRelay/Client/RelayBudget.h"
#include "ZelvoRelay/Message/BaseMessage.h"

// What the server tests cannot wait for or reach: the two minutes, the five minutes, the
// 4,096 addresses and the budget's refill, on a clock the test sets.
namespace {

using Table = ZelvoRelay::Collections::AddressTable;
using std::chrono::hours;
using std::chrono::minutes;
using std::chrono::seconds;
using System::Net::IPAddress;
using ZelvoRelay::Client::RelayBudget;
using ZelvoRelay::Message::BaseMessage;

const Table::Clock::time_point kStart = Table::Clock::time_point() + minutes(60);

// The room's notice of a member joining with a 255-byte name (266 bytes framed), and of a
// connection leaving (9 bytes framed, counting 64).
const BaseMessage kJoined(257, 102, 1);
const BaseMessage kLeft(0, 106, 1);

// Counts ten refusals of address, a second apart from at; whether the last began a block.
bool TenRefusals(Table& table, const IPAddress& address, Table::Clock::time_point at) {
    bool began = false;
    for (int i = 0; i < 10; ++i) {
        began = table.CountWrongPassword(address, at + seconds(i));
    }
    return began;
}

// The time the budget takes to refill bytes.
Table::Clock::duration RefillOf(double bytes) {
    return std::chrono::ceil<Table::Clock::duration>(
        std::chrono::duration<double>(bytes / RelayBudget::kBytesPerSecond));
}

// Ten refusals within two minutes block for five minutes from the last; ten spread over
// more than two minutes do not. Refusals during a block lengthen it without beginning one.
TEST(AddressTableTest, TenWrongPasswordsWithinTwoMinutesBlockForFiveMinutes) {
    Table table;
    const IPAddress slow(0x7F000002u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_FALSE(table.CountWrongPassword(slow, kStart + seconds(14 * i)));
    }
    EXPECT_FALSE(table.IsRefused(slow, kStart + seconds(127)));
    // Within two minutes of the second, the first of the last ten.
    EXPECT_TRUE(table.CountWrongPassword(slow, kStart + seconds(134)));
    EXPECT_TRUE(table.IsRefused(slow, kStart + seconds(134) + minutes(5) - seconds(1)));
    EXPECT_FALSE(table.IsRefused(slow, kStart + seconds(134) + minutes(5)));

    const IPAddress fast(0x7F000003u);
    EXPECT_TRUE(TenRefusals(table, fast, kStart));
    EXPECT_FALSE(TenRefusals(table, fast, kStart + minutes(4)));
    EXPECT_TRUE(table.IsRefused(fast, kStart + minutes(9)));
    EXPECT_FALSE(table.IsRefused(fast, kStart + minutes(9) + seconds(9)));
    EXPECT_FALSE(table.IsRefused(IPAddress(0x7F000004u), kStart));
}

// Only the last ten refusals count: an address refused every 15 seconds, so that no ten
// fall within two minutes, is never blocked however many refusals it gathers.
TEST(AddressTableTest, WrongPasswordsFarApartNeverBlockHoweverMany) {
    Table table;
    const IPAddress occasional(0x7F000005u);
    for (int i = 0; i < 40; ++i) {
        const Table::Clock::time_point at = kStart + seconds(15 * i);
        EXPECT_FALSE(table.CountWrongPassword(occasional, at)) << i;
        EXPECT_FALSE(table.IsRefused(occasional, at)) << i;
    }
}

// At most 4,096 addresses are remembered: the one seen longest ago is forgotten first, and
// a blocked address that keeps connecting is seen.
TEST(AddressTableTest, TheAddressSeenLongestAgoIsForgottenFirst) {
    Table table;
    const IPAddress first(0x0A000001u);
    const IPAddress second(0x0A000002u);
    const Table::Clock::time_point later = kStart + minutes(1);
    ASSERT_TRUE(TenRefusals(table, first, kStart));
    ASSERT_TRUE(TenRefusals(table, second, kStart));
    // The first connects again, so the second is now the one seen longest ago.
    EXPECT_TRUE(table.IsRefused(first, later));
    for (uint32_t i = 0; i < Table::kMaxAddresses - 2; ++i) {
        table.CountWrongPassword(IPAddress(0x0B000000u + i), later);
    }
    // Full: each new address now takes the place of the one seen longest ago.
    table.CountWrongPassword(IPAddress(0x0C000000u), later);
    EXPECT_FALSE(table.IsRefused(second, later));
    table.CountWrongPassword(IPAddress(0x0C000001u), later);
    EXPECT_FALSE(table.IsRefused(first, later));
}

// The notices about one address's connections take 1 MiB at once, each counting at least
// 64 bytes; past it the address is refused until the debt is repaid at 256 KiB/s. Its
// notices never touch another address's budget, and twenty members behind one address
// joining and leaving at once are far from it.
TEST(AddressTableTest, NoticesTakeOneBurstThenRefuseTheAddressUntilRepaid) {
    Table table;
    const IPAddress office(0x7F000006u);
    for (int i = 0; i < 20; ++i) {
        table.ChargeNotice(office, kJoined, kStart);
        table.ChargeNotice(office, kLeft, kStart);
    }
    EXPECT_FALSE(table.IsRefused(office, kStart));

    const IPAddress cycler(0x7F000007u);
    const auto burst = static_cast<uint32_t>(RelayBudget::kBurstBytes);
    for (uint32_t taken = 0; taken < burst; taken += RelayBudget::kLeastFrameCost) {
        table.ChargeNotice(cycler, kLeft, kStart);
    }
    EXPECT_FALSE(table.IsRefused(cycler, kStart));
    table.ChargeNotice(cycler, kJoined, kStart);
    EXPECT_TRUE(table.IsRefused(cycler, kStart));
    EXPECT_TRUE(table.IsRefused(cycler, kStart + RefillOf(265)));
    EXPECT_FALSE(table.IsRefused(cycler, kStart + RefillOf(266)));
    EXPECT_FALSE(table.IsRefused(office, kStart));
}

// Joins and leaves are counted on different threads, each reading the clock before taking
// the table's lock: a notice or a check at a time earlier than one given before for the
// address counts as at that time, never as a refill taken back.
TEST(AddressTableTest, TimesGivenOutOfOrderCountAsTheLatest) {
    Table table;
    const IPAddress address(0x7F000008u);
    const auto burst = static_cast<uint32_t>(RelayBudget::kBurstBytes);
    for (uint32_t taken = 0; taken < burst; taken += RelayBudget::kLeastFrameCost) {
        table.ChargeNotice(address, kLeft, kStart + hours(1));
    }
    EXPECT_FALSE(table.IsRefused(address, kStart));
    table.ChargeNotice(address, kLeft, kStart);
    EXPECT_TRUE(table.IsRefused(address, kStart));
    EXPECT_TRUE(table.IsRefused(address, kStart + hours(1)));
}

}  // namespace
