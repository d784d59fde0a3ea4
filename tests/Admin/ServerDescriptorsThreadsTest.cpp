// The server binary under a low open file limit.
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
const std::string kListing =
    RelayWire::Message(RelayWire::GetMediaInfo, 0, RelayWire::U32(0xFFFFFFFF) + RelayWire::U8(255));

// How many descriptors of the server have a number from `from` up to the limit (excluded).
size_t Held(pid_t pid, int from = 0) {
    const auto fds = std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd");
    return std::count_if(begin(fds), end(fds), [from](const auto& entry) {
        const int number = std::stoi(entry.path().filename().string());
        return number >= from && number < kLimit;
    });
}

// Connects until the server closes two connections in a row (the first may get the number its
// accept took while every lower one was held); one whose listing is answered stays, silent.
// Whether the server then holds no reserved number, once it has closed those connections.
bool Reconnect(uint16_t port, std::deque<std::unique_ptr<RawClient>>& silent, pid_t pid) {
    for (int refused = 0; refused < 2 && silent.size() < kLimit;) {
        auto client = std::make_unique<RawClient>(port);
        client->SendFrame(kListing);
        const bool served = !AdminTest::FramesUntil(*client, RelayWire::MediaInfo).empty();
        refused = served ? 0 : refused + 1;
        if (served) {
            silent.push_back(std::move(client));
        }
    }
    return TestSupport::WaitUntil([pid] { return Held(pid, kLimit - 16) == 0; });
}

// Silent connections fill every number below the reserve, then rounds free one number at a
// time (a connection leaves, an upload takes one of its two numbers, the upload stops) and
// connect again. UDP sockets are checked as TCP ones are, so no peer holds a reserved number
// and the closing save succeeds (before, UDP sockets took the reserve). Start-up tells how few
// connections the limit leaves room for; one line tells of those closed in a minute.
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
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(Reconnect(room.Port(), silent, server.Pid()));
    const size_t served = silent.size() + 1;

    for (uint8_t round = 1; round <= 8; ++round) {
        const size_t held = Held(server.Pid());
        silent.pop_front();
        ASSERT_TRUE(TestSupport::WaitUntil([&] { return Held(server.Pid()) + 2 <= held; }));
        member.SendFrame(RelayWire::AddMediaRequest(round, 1, 100, "held"));
        const auto answer = AdminTest::FramesUntil(member, RelayWire::AddMediaAnswer);
        const std::string payload = answer.empty() ? "" : RelayWire::Parse(answer.back()).payload;
        ASSERT_EQ(payload.substr(0, 2), RelayWire::U8(round) + RelayWire::U8(0));  // accepted
        ASSERT_TRUE(Reconnect(room.Port(), silent, server.Pid())) << "round " << int{round};
        member.SendFrame(
            RelayWire::MediaFile(RelayWire::StopMedia, RelayWire::ReadU32(payload, 2), 0));
        member.SendFrame(kListing);  // answered once the stop has been handled
        ASSERT_FALSE(AdminTest::FramesUntil(member, RelayWire::MediaInfo).empty());
        ASSERT_TRUE(Reconnect(room.Port(), silent, server.Pid())) << "round " << int{round};
        EXPECT_EQ(silent.size() + 1, served) << "round " << int{round};
    }

    server.Signal(SIGTERM);
    EXPECT_EQ(server.WaitForExit(), 0);
    const std::string log = server.Output();
    EXPECT_EQ(log.find(" failed; the file is left as it was"), std::string::npos) << log;
    EXPECT_NE(log.find(": Open file limit 64 leaves room for " + std::to_string(served) +
                       " connections, fewer than RoomMaxClients (20): each takes 2 "
                       "descriptors and 16 are kept for saving\n"),
              std::string::npos);
    const std::string refusal =
        ": Closed 1 connection at once to keep the last 16 descriptors "
        "of the open file limit (64) for saving\n";
    const size_t at = log.find(refusal);
    ASSERT_NE(at, std::string::npos);
    // Later ones in the same minute add no line.
    const bool sameMinute = std::chrono::steady_clock::now() - start < std::chrono::minutes(1);
    EXPECT_TRUE(!sameMinute ||
                log.find(" at once to keep", at + refusal.size()) == std::string::npos);
}

}  // namespace
