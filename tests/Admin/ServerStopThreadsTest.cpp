// The server binary's stop, end to end: what it still does for members once it has been
// asked to stop, and how a second request ends that.
#include "Admin/RoomFixture.h"
#include "support/Process.h"
#include "support/Wait.h"

#include <signal.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using AdminTest::AddMedia;
using AdminTest::BeingMade;
using AdminTest::ConfigXml;
using AdminTest::Pngs;
using AdminTest::Privileges;
using AdminTest::Room;
using AdminTest::SendChunks;
using AdminTest::Settings;
using AdminTest::StoredFiles;
using TestSupport::RawClient;

// The number that the first console line whose text matches pattern holds in its first
// group; -1 when no line matches.
int LoggedCount(const TestSupport::ServerProcess& server, const std::regex& pattern) {
    for (const std::string& line : server.Lines()) {
        std::smatch match;
        const std::string text = AdminTest::LogText(line);
        if (std::regex_match(text, match, pattern)) {
            return std::stoi(match[1].str());
        }
    }
    return -1;
}

// What a member piled up does not hold the stop: once the stop has closed the connections,
// a message read at the stop is handled only for what it changes in what the server
// stores, and a request whose only effect is its answer is dropped, since nobody is left to
// receive it. Alice's second upload waits behind her first photo, still being made, and
// behind it her requests for listings and downloads, most of them unread in the server's
// socket; she goes on sending them through the stop. The stop reads what her socket held,
// makes both photos and saves them, and starts none of her downloads: while it makes the
// photos no file of the catalogue is open. Before, it handled every request she had piled
// up, building each listing and opening the file of each download (three members' listings
// held a stop for minutes).
TEST(Server, AStopDropsTheRequestsMembersPiledUpAndStillStoresTheirUploads) {
    const std::vector<std::string> photos = Pngs("(4000, 3000), (3000, 4000)");
    const std::vector<uint32_t> items = {100, 101, 102};
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "")));
    std::string media = "<media count=\"3\">";
    for (const uint32_t id : items) {
        media += "<item><entry><id>" + std::to_string(id) +
                 "</id><title>old</title></entry><group><content fileSize=\"10\" /></group>"
                 "</item>";
        room.Write("media/" + std::to_string(id) + "_0", "file of " + std::to_string(id));
    }
    room.Write("media.xml", media + "</media>");
    auto server = room.Start();
    RawClient alice(room.Port());
    ASSERT_EQ(AdminTest::Join(alice, "Alice", ""), 0);
    const uint32_t first = AddMedia(alice, "first", photos[0]);
    const uint32_t second = AddMedia(alice, "second", photos[1]);
    SendChunks(alice, first, photos[0]);
    ASSERT_TRUE(BeingMade(*server, room, first));
    SendChunks(alice, second, photos[1]);
    const auto request = [&alice, &items] {
        bool sent = alice.SendFrame(RelayWire::Message(
            RelayWire::GetMediaInfo, 0, RelayWire::U32(0xFFFFFFFF) + RelayWire::U8(255)));
        for (const uint32_t id : items) {
            sent = sent && alice.SendFrame(RelayWire::MediaFile(RelayWire::GetMedia, id, 0));
        }
        return sent;
    };
    for (int round = 0; round < 100; ++round) {
        ASSERT_TRUE(request());
    }
    ASSERT_TRUE(alice.WaitAcknowledged());
    std::thread piling([&request] {
        while (request()) {
        }
    });
    server->Signal(SIGTERM);
    const bool making = server->WaitForLine("Relay server making ") >= 0;
    int open = 0;
    for (const uint32_t id : items) {
        const auto file =
            std::filesystem::canonical(room.File("media/" + std::to_string(id) + "_0"));
        open += TestSupport::DescriptorsOpenOn(server->Pid(), file);
    }
    EXPECT_EQ(server->WaitForExit(), 0) << server->Output();
    piling.join();
    ASSERT_TRUE(making) << server->Output();
    EXPECT_EQ(open, 0);
    const std::string saved = room.Read("media.xml");
    EXPECT_NE(saved.find("<media count=\"5\">"), std::string::npos) << saved;
    EXPECT_NE(saved.find("<title>second</title>"), std::string::npos) << saved;
    EXPECT_EQ(room.Read("media/" + std::to_string(second) + "_0"), photos[1]);
    EXPECT_EQ(StoredFiles(room).size(), items.size() + 4);
}

// Every stop signal counts, however soon after the first. SIGINT and SIGTERM sent while the
// server is stopped (SIGSTOP) are both delivered as it goes on, and the second ends the
// stop's work as one sent later does: Alice's second upload, whose chunks wait behind her
// first photo being made, is discarded unhandled, and Bob's complete upload, whose photo
// waits for the photo worker, is discarded unmade. The log counts both, and the closing save
// lists the photo that was being made, with no file of the others left behind. Before, the
// two signals were folded into one, and the stop handled and made everything.
TEST(Server, TwoStopSignalsThatComeTogetherEndTheStopsWorkAsASecondOneDoes) {
    const std::vector<std::string> photos = Pngs("(4000, 3000), (64, 48), (48, 64)");
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "")));
    auto server = room.Start();
    RawClient alice(room.Port());
    RawClient bob(room.Port());
    ASSERT_EQ(AdminTest::Join(alice, "Alice", ""), 0);
    ASSERT_EQ(AdminTest::Join(bob, "Bob", ""), 0);
    const uint32_t first = AddMedia(alice, "first", photos[0]);
    const uint32_t second = AddMedia(alice, "second", photos[1]);
    const uint32_t third = AddMedia(bob, "third", photos[2]);
    SendChunks(alice, first, photos[0]);
    ASSERT_TRUE(BeingMade(*server, room, first));
    SendChunks(alice, second, photos[1], 64);
    SendChunks(bob, third, photos[2]);
    const std::string thirdFile = room.File("media/" + std::to_string(third) + "_0");
    ASSERT_TRUE(TestSupport::WaitUntil([&] {
        std::error_code error;
        return std::filesystem::file_size(thirdFile, error) == photos[2].size();
    }));
    ASSERT_TRUE(alice.WaitAcknowledged());

    server->Signal(SIGSTOP);
    ASSERT_TRUE(
        TestSupport::WaitUntil([&] { return TestSupport::AllThreadsStopped(server->Pid()); }));
    server->Signal(SIGINT);
    server->Signal(SIGTERM);
    server->Signal(SIGCONT);
    EXPECT_EQ(server->WaitForExit(), 0) << server->Output();
    const std::regex messages(R"(Relay server discarded (\d+) received messages? not yet )"
                              R"(handled, as asked again to stop)");
    EXPECT_GE(LoggedCount(*server, messages), 1) << server->Output();
    const std::regex made(R"(Relay server discarded (\d+) uploaded photos? not yet made, )"
                          R"(as asked again to stop)");
    EXPECT_EQ(LoggedCount(*server, made), 1) << server->Output();
    const std::string saved = room.Read("media.xml");
    EXPECT_NE(saved.find("<media count=\"1\">"), std::string::npos) << saved;
    EXPECT_NE(saved.find("<title>first</title>"), std::string::npos) << saved;
    const std::string name = std::to_string(first);
    EXPECT_EQ(StoredFiles(room), (std::set<std::string>{name + "_0", name + "_1"}));
}

}  // namespace
