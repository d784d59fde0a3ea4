#include "Admin/RoomFixture.h"
#include "support/Process.h"
#include "support/Wait.h"

#include <signal.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace {

using AdminTest::ConfigXml;
using AdminTest::NextChat;
using AdminTest::Privileges;
using AdminTest::Room;
using AdminTest::Settings;
using TestSupport::RawClient;
using TestSupport::ServerProcess;

// What a member chats to fill the console.
const std::string kFiller(255, 'x');

// A room with the user password "pass".
std::unique_ptr<ServerProcess> StartRoom(Room& room) {
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "pass")));
    return room.Start();
}

// Leaves the server's console unread, as a pipe nobody reads or a terminal stopped with
// Ctrl-S, and has member chat until a thread of the server waits to write to it.
void StallConsole(ServerProcess& server, RawClient& member) {
    server.LimitUnreadOutput();
    for (int i = 0; i < 40; ++i) {
        ASSERT_TRUE(member.SendFrame(RelayWire::ChatText(kFiller)));
    }
    ASSERT_TRUE(TestSupport::WaitUntil(
        [&] { return TestSupport::ThreadWritingAFullPipe(server.Pid()) != 0; }));
}

// With the console unread, chat is relayed, a newcomer joins, and SIGTERM ends the process
// with status 0 and its closing save made. Before, every thread that logged waited for the
// console: no chat was relayed, no connection accepted, and the stop never came.
TEST(ServerConsole, AConsoleThatTakesNothingHoldsUpNeitherTheRoomNorItsStop) {
    Room room;
    auto server = StartRoom(room);
    RawClient ann(room.Port());
    RawClient bob(room.Port());
    ASSERT_EQ(AdminTest::Join(ann, "Ann", "pass"), 0);
    ASSERT_EQ(AdminTest::Join(bob, "Bob", "pass"), 0);
    StallConsole(*server, ann);
    ann.SendFrame(RelayWire::ChatText("still here"));
    std::string chat;
    while ((chat = NextChat(bob)) == kFiller) {
    }
    EXPECT_EQ(chat, "still here");
    RawClient newcomer(room.Port());
    EXPECT_EQ(AdminTest::Join(newcomer, "Cid", "pass"), 0);

    std::filesystem::remove(room.File("media.xml"));
    server->Signal(SIGTERM);
    EXPECT_TRUE(server->WaitForEndUnread(std::chrono::seconds(60)));
    EXPECT_EQ(server->WaitForExit(), 0);
    EXPECT_EQ(room.Read("media.xml"), "<media count=\"0\" />");
}

// Members at several addresses chat, each within what the log writes about one address,
// while the console is unread: past its bound the lines are dropped, and once the console
// is read again a line counts them. Every chat line is written or counted, each member's
// in the order sent, and the lines after, up to the stop's last, are written before the end.
TEST(ServerConsole, LinesAConsoleDidNotTakeAreCountedOnceItTakesOutputAgain) {
    constexpr int kSenders = 7;
    constexpr int kChats = 180;
    Room room;
    auto server = StartRoom(room);
    RawClient reader(room.Port());
    ASSERT_EQ(AdminTest::Join(reader, "Reader", "pass"), 0);
    std::vector<std::unique_ptr<RawClient>> senders;
    for (int i = 0; i < kSenders; ++i) {
        senders.push_back(
            std::make_unique<RawClient>(room.Port(), "127.0.0." + std::to_string(2 + i)));
        ASSERT_EQ(AdminTest::Join(*senders.back(), "S" + std::to_string(i), "pass"), 0);
    }
    StallConsole(*server, reader);
    // Control bytes, each logged as four characters: about a kilobyte a line.
    for (int chat = 0; chat < kChats; ++chat) {
        const std::string text = std::to_string(1000 + chat) + std::string(251, '\x01');
        for (auto& sender : senders) {
            ASSERT_TRUE(sender->SendFrame(RelayWire::ChatText(text)));
        }
    }
    // A chat is logged as it is read, before it is relayed.
    for (int i = 0; i < kSenders * kChats;) {
        const std::string chat = NextChat(reader);
        ASSERT_NE(chat, "") << i;
        i += chat == kFiller ? 0 : 1;
    }
    EXPECT_NE(server->WaitForLine("Console: "), -1) << server->Output();
    reader.SendFrame(RelayWire::ChatText("after"));
    EXPECT_NE(server->WaitForLine(" sent a chat msg. after"), -1) << server->Output();
    server->Signal(SIGTERM);
    EXPECT_EQ(server->WaitForExit(), 0);

    const std::regex sent(R"(S(\d) \(id: \d+\) sent a chat msg\. (\d{4})(\\x01){251})");
    const std::regex dropped(
        R"(Console: (\d+) lines? (was|were) dropped while the console took no output\.)");
    std::vector<int> last(kSenders, 999);
    uint64_t written = 0;
    uint64_t counted = 0;
    for (const std::string& line : server->Lines()) {
        const std::string text = AdminTest::LogText(line);
        std::smatch match;
        if (std::regex_match(text, match, sent)) {
            const int chat = std::stoi(match[2]);
            EXPECT_GT(chat, last[std::stoul(match[1])]) << text;
            last[std::stoul(match[1])] = chat;
            ++written;
        } else if (std::regex_match(text, match, dropped)) {
            counted += std::stoull(match[1]);
        }
    }
    EXPECT_GT(counted, 0u);
    EXPECT_EQ(written + counted, uint64_t{kSenders} * kChats);
    EXPECT_TRUE(AdminTest::Logs(*server, "Relay server stopped"));
}

}  // namespace
