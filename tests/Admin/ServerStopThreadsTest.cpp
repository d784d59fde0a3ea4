// The server binary's stop, end to end.
#include "Admin/RoomFixture.h"

#include <signal.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using AdminTest::AddMedia;
using AdminTest::BeingMade;
using AdminTest::ConfigXml;
using AdminTest::Privileges;
using AdminTest::Room;
using AdminTest::SendChunks;
using AdminTest::Settings;
using AdminTest::StoredFiles;
using TestSupport::RawClient;

// What a member piled up does not hold the stop: once the connections are closed, a request
// whose only effect is its answer is dropped. Alice's second upload waits behind her first
// photo, still being made, and behind it her listing and download requests, most unread in
// the server's socket; she goes on sending through the stop. The stop makes and saves both
// photos and starts no download: while it makes them no file of the catalogue is open.
// Before, it handled every request she had piled up, building each listing.
TEST(Server, AStopDropsTheRequestsMembersPiledUpAndStillStoresTheirUploads) {
    const std::vector<std::string> photos = AdminTest::Pngs("(4000, 3000), (3000, 4000)");
    Room room;
    room.Write("media.xml", "<media count=\"1\"><item><entry><id>100</id></entry></item></media>");
    room.Write("media/100_0", "old");
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "")));
    auto server = room.Start();
    RawClient alice(room.Port());
    ASSERT_EQ(AdminTest::Join(alice, "Alice", ""), 0);
    const uint32_t first = AddMedia(alice, "first", photos[0]);
    const uint32_t second = AddMedia(alice, "second", photos[1]);
    SendChunks(alice, first, photos[0]);
    ASSERT_TRUE(BeingMade(*server, room, first));
    SendChunks(alice, second, photos[1]);
    const auto request = [&alice] {
        return alice.SendFrame(RelayWire::Message(
                   RelayWire::GetMediaInfo, 0, RelayWire::U32(0xFFFFFFFF) + RelayWire::U8(255))) &&
               alice.SendFrame(RelayWire::MediaFile(RelayWire::GetMedia, 100, 0));
    };
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(request());
    }
    ASSERT_TRUE(alice.WaitAcknowledged());
    std::thread piling([&request] {
        while (request()) {
        }
    });
    server->Signal(SIGTERM);
    const bool making = server->WaitForLine("Relay server making ") >= 0;
    const int open = TestSupport::DescriptorsOpenOn(
        server->Pid(), std::filesystem::canonical(room.File("media/100_0")));
    EXPECT_EQ(server->WaitForExit(), 0) << server->Output();
    piling.join();
    EXPECT_TRUE(making) << server->Output();
    EXPECT_EQ(open, 0);
    EXPECT_NE(room.Read("media.xml").find("<media count=\"3\">"), std::string::npos);
    EXPECT_EQ(room.Read("media/" + std::to_string(second) + "_0"), photos[1]);
}

// Every stop signal counts, however soon after the first. SIGINT and SIGTERM sent while the
// server is stopped (SIGSTOP) both come as it goes on, and the second ends the stop's work:
// the chunks of Alice's second upload, waiting behind her first photo being made, are
// discarded unhandled, the log says how many, and the closing save lists the photo being
// made alone, with no file of the other. Before, the two were folded into one.
TEST(Server, TwoStopSignalsThatComeTogetherEndTheStopsWorkAsASecondOneDoes) {
    const std::vector<std::string> photos = AdminTest::Pngs("(4000, 3000), (64, 48)");
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "")));
    auto server = room.Start();
    RawClient alice(room.Port());
    ASSERT_EQ(AdminTest::Join(alice, "Alice", ""), 0);
    const uint32_t first = AddMedia(alice, "first", photos[0]);
    const uint32_t second = AddMedia(alice, "second", photos[1]);
    SendChunks(alice, first, photos[0]);
    ASSERT_TRUE(BeingMade(*server, room, first));
    SendChunks(alice, second, photos[1], 64);
    ASSERT_TRUE(alice.WaitAcknowledged());
    server->Signal(SIGSTOP);
    ASSERT_TRUE(
        TestSupport::WaitUntil([&] { return TestSupport::AllThreadsStopped(server->Pid()); }));
    server->Signal(SIGINT);
    server->Signal(SIGTERM);
    server->Signal(SIGCONT);
    EXPECT_EQ(server->WaitForExit(), 0) << server->Output();
    EXPECT_TRUE(AdminTest::Logs(*server, "Relay server discarded " +
                                             std::to_string((photos[1].size() + 63) / 64) +
                                             " received messages not yet handled, as asked "
                                             "again to stop"));
    const std::string saved = room.Read("media.xml");
    EXPECT_NE(saved.find("<media count=\"1\">"), std::string::npos) << saved;
    const std::string name = std::to_string(first);
    EXPECT_EQ(StoredFiles(room), (std::set<std::string>{name + "_0", name + "_1"}));
}

}  // namespace
