// The server binary under a low open file limit: what peers hold never reaches the
// descriptors kept for the saves, and the operator is told when the limit keeps members out.
#include "Admin/RoomFixture.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>

namespace {

using TestSupport::RawClient;

constexpr int kLimit = 64;
constexpr int kReserve = 16;
const std::string kListing =
    RelayWire::Message(RelayWire::GetMediaInfo, 0, RelayWire::U32(0xFFFFFFFF) + RelayWire::U8(255));

// How many descriptors of the server have a number of at least from and below the limit
// (one inherited above the limit takes none of its numbers).
size_t Held(pid_t pid, int from = 0) {
    const auto fds = std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd");
    return std::count_if(begin(fds), end(fds), [from](const auto& entry) {
        const int number = std::stoi(entry.path().filename().string());
        return number >= from && number < kLimit;
    });
}

// Connects until the server closes two connections in a row at once (the first may get the
// number its accept took while every lower one was held); a connection whose listing request
// is answered stays, silent.
void ConnectUntilRefused(uint16_t port, std::deque<std::unique_ptr<RawClient>>& silent) {
    for (int refused = 0; refused < 2 && silent.size() < kLimit;) {
        auto client = std::make_unique<RawClient>(port);
        client->SendFrame(kListing);
        const bool served = !AdminTest::FramesUntil(*client, RelayWire::MediaInfo).empty();
        refused = served ? 0 : refused + 1;
        if (served) {
            silent.push_back(std::move(client));
        }
    }
}

// Silent connections fill every number below the reserve, then rounds free one number at a
// time (a connection leaves, an upload takes one of its two numbers, the upload stops) and
// connect again. Each connection's UDP socket is checked as its TCP one is, so no peer holds a
// reserved number (once a refused connection is given back) and the closing save writes its
// files; before, the UDP sockets took the reserve. Start-up tells how few connections the
// limit leaves room for, and one line tells of the connections closed in a minute.
TEST(ServerDescriptors, ConnectionsNeverTakeTheDescriptorsKeptForTheSavesAndTheLogSaysSo) {
    AdminTest::Room room;
    room.Write("config.xml", AdminTest::ConfigXml(room.Port(), AdminTest::Settings(),
                                                  AdminTest::Privileges("", "", "")));
    TestSupport::ServerProcess server(
        {"sh", "-c", "cd " + room.File("") + " && exec prlimit --nofile=64 " + AdminTest::kServer},
        "");
    // Counted once the servers listen, the room is told before anyone connects.
    EXPECT_GE(server.WaitForLine("Open file limit 64 leaves room for "), 0);
    RawClient member(room.Port());
    ASSERT_EQ(AdminTest::Join(member, "Ann", ""), 0);
    std::deque<std::unique_ptr<RawClient>> silent;
    ConnectUntilRefused(room.Port(), silent);
    const size_t served = silent.size() + 1;
    const auto noneReserved = [&] { return Held(server.Pid(), kLimit - kReserve) == 0; };
    ASSERT_TRUE(TestSupport::WaitUntil(noneReserved));
    const auto firstRefusal = std::chrono::steady_clock::now();

    for (uint8_t round = 1; round <= 8; ++round) {
        const size_t held = Held(server.Pid());
        silent.pop_front();
        ASSERT_TRUE(TestSupport::WaitUntil([&] { return Held(server.Pid()) + 2 <= held; }));
        member.SendFrame(RelayWire::AddMediaRequest(round, 1, 100, "held"));
        const auto answer = AdminTest::FramesUntil(member, RelayWire::AddMediaAnswer);
        ASSERT_FALSE(answer.empty());
        const std::string payload = RelayWire::Parse(answer.back()).payload;
        ASSERT_EQ(payload.substr(0, 2), RelayWire::U8(round) + RelayWire::U8(0));
        ConnectUntilRefused(room.Port(), silent);
        ASSERT_TRUE(TestSupport::WaitUntil(noneReserved)) << "round " << int{round};
        member.SendFrame(
            RelayWire::MediaFile(RelayWire::StopMedia, RelayWire::ReadU32(payload, 2), 0));
        member.SendFrame(kListing);  // answered once the stop has been handled
        ASSERT_FALSE(AdminTest::FramesUntil(member, RelayWire::MediaInfo).empty());
        ConnectUntilRefused(room.Port(), silent);
        ASSERT_TRUE(TestSupport::WaitUntil(noneReserved)) << "round " << int{round};
        EXPECT_EQ(silent.size() + 1, served) << "round " << int{round};
    }

    std::filesystem::remove(room.File("config.xml"));
    server.Signal(SIGTERM);
    EXPECT_EQ(server.WaitForExit(), 0) << server.Output();
    EXPECT_TRUE(std::filesystem::exists(room.File("config.xml")));
    const std::string log = server.Output();
    EXPECT_NE(log.find(": Open file limit 64 leaves room for " + std::to_string(served) +
                       " connections, fewer than RoomMaxClients (20): each takes 2 "
                       "descriptors and 16 are kept for saving\n"),
              std::string::npos);
    EXPECT_NE(log.find(": Closed 1 connection at once to keep the last 16 descriptors of the "
                       "open file limit (64) for saving\n"),
              std::string::npos);
    const auto minutes = std::chrono::duration_cast<std::chrono::minutes>(
        std::chrono::steady_clock::now() - firstRefusal);
    EXPECT_LE(std::count_if(server.Lines().begin(), server.Lines().end(),
                            [](const std::string& line) {
                                return line.find(" at once to keep ") != std::string::npos;
                            }),
              1 + minutes.count())
        << log;
}

}  // namespace
