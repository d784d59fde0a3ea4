// Downloads through the server binary, each test in a fresh working directory on a free port.
#include "Admin/RoomFixture.h"

#include <signal.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace {

using AdminTest::Room;
using TestSupport::RawClient;

// A member asks for 16 downloads that run and 11 that wait; the items of the first 10 that
// wait are removed meanwhile. At its turn each of those is answered NotFound, behind its
// Accepted, and sends nothing; the last still comes whole. Before, they were accepted and
// then nothing came, and a gallery waited for them for good.
TEST(Server, WaitingDownloadsOfRemovedItemsAreAnsweredThatTheyWillNotCome) {
    Room room;
    room.Write("config.xml", AdminTest::ConfigXml(room.Port(), AdminTest::Settings(),
                                                  AdminTest::Privileges("", "mod", "")));
    std::string media = "<media count=\"27\">";
    // Each is accepted when asked; each removed one is refused at its turn.
    std::vector<std::string> expected;
    for (uint32_t id = 0; id < 27; ++id) {
        media += "<item><entry><id>" + std::to_string(id) + "</id></entry><group /></item>";
        // Those that run far larger than the sockets' buffers, so none ends while unread.
        room.Write("media/" + std::to_string(id) + "_0", std::string(id < 16 ? 1 << 20 : 10, 'x'));
        expected.push_back(std::to_string(id) + ": 0");
    }
    room.Write("media.xml", media + "</media>");
    auto server = room.Start();
    RawClient member(room.Port());
    RawClient moderator(room.Port());
    ASSERT_EQ(AdminTest::Join(member, "Ann", ""), 0);
    ASSERT_EQ(AdminTest::Join(moderator, "Mod", "mod"), 0);
    for (uint32_t id = 0; id < 27; ++id) {
        member.SendFrame(RelayWire::MediaFile(RelayWire::GetMedia, id, 0));
    }
    // The chat reaches the moderator once every request before it has been handled.
    member.SendFrame(RelayWire::ChatText("asked"));
    ASSERT_FALSE(AdminTest::FramesUntil(moderator, RelayWire::Chat).empty());
    for (uint32_t id = 16; id < 26; ++id) {
        moderator.SendFrame(RelayWire::Message(RelayWire::RemoveMedia, 0, RelayWire::U32(id)));
        ASSERT_FALSE(AdminTest::FramesUntil(moderator, RelayWire::RemoveMediaAnswer).empty());
        expected.push_back(std::to_string(id) + ": 2");
    }

    std::vector<std::string> answers;  // "<media id>: <error type>", in the order they came
    std::map<uint32_t, size_t> bytes;  // received of each file
    for (size_t total = 0; total < (16 << 20) + 10;) {
        const RelayWire::Parsed message = RelayWire::Parse(member.NextFrame().value_or(""));
        ASSERT_NE(message.type, 0) << total << " bytes received";
        if (message.type == RelayWire::GetMediaAnswer) {
            answers.push_back(std::to_string(RelayWire::ReadU32(message.payload, 1)) + ": " +
                              std::to_string(message.payload[0]));
        } else if (message.type == RelayWire::MediaChunk) {
            total += message.payload.size() - 11;
            bytes[RelayWire::ReadU32(message.payload, 0)] += message.payload.size() - 11;
        }
    }
    EXPECT_EQ(answers, expected);
    EXPECT_EQ(bytes.size(), 17u);
    EXPECT_EQ(bytes[26], 10u);
    server->Signal(SIGTERM);
    EXPECT_EQ(server->WaitForExit(), 0) << server->Output();
}

}  // namespace
