// How the open file limit is shared between members' connections and their downloads' files,
// the server binary end to end: each test in a fresh working directory on a free port.
#include "Admin/RoomFixture.h"

#include <signal.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using AdminTest::ConfigXml;
using AdminTest::Privileges;
using AdminTest::Room;
using AdminTest::Settings;
using TestSupport::RawClient;

constexpr int kLimit = 128;
constexpr uint32_t kFlooders = 6;          // members asking more than the table holds
constexpr uint32_t kRoom = kFlooders + 2;  // and a member and a newcomer beside them
constexpr uint32_t kAsked = 16;            // the downloads each flooder asks at once
constexpr uint32_t kPhotos = 100;          // the first id of the large photos
constexpr uint32_t kSmall = 0;             // the id of the small photo
constexpr size_t kSmallSize = 40 * 1024;   // its size, ten chunks
const std::string kSmallPhoto(kSmallSize, 's');

// A room without a password for kRoom, whose item kSmall has a photo of 40 KiB and items
// kPhotos to kPhotos + kAsked - 1 a photo of 64 MiB that takes no disk space, far more than any
// socket holds, so that no download of one ends while it is unread.
void WriteRoom(const Room& room) {
    Settings settings;
    settings.maxClients = kRoom;
    room.Write("config.xml", ConfigXml(room.Port(), settings, Privileges("", "", "")));
    std::string media = "<media count=\"" + std::to_string(kAsked + 1) + "\">";
    const auto item = [&media](uint32_t id) {
        media += "<item><entry><id>" + std::to_string(id) + "</id></entry><group /></item>";
    };
    item(kSmall);
    room.Write("media/" + std::to_string(kSmall) + "_0", kSmallPhoto);
    for (uint32_t id = kPhotos; id < kPhotos + kAsked; ++id) {
        item(id);
        room.Write("media/" + std::to_string(id) + "_0", "");
        std::filesystem::resize_file(room.File("media/" + std::to_string(id) + "_0"), 64u << 20);
    }
    room.Write("media.xml", media + "</media>");
}

// A member from source that asks for every large photo and then a listing, reads until the
// listing is answered (which comes once the server has handled every request before it) and
// then reads nothing more. Null when it cannot join.
std::unique_ptr<RawClient> Flooder(uint16_t port, const std::string& source, uint32_t number) {
    auto client = std::make_unique<RawClient>(port, source);
    client->SetReceiveBuffer(4096);
    if (AdminTest::Join(*client, "flooder" + std::to_string(number), "") != 0) {
        return nullptr;
    }
    for (uint32_t id = kPhotos; id < kPhotos + kAsked; ++id) {
        client->SendFrame(RelayWire::MediaFile(RelayWire::GetMedia, id, 0));
    }
    client->SendFrame(RelayWire::Message(RelayWire::GetMediaInfo, 0,
                                         RelayWire::U32(0xFFFFFFFF) + RelayWire::U8(255)));
    return AdminTest::FramesUntil(*client, RelayWire::MediaInfo).empty() ? nullptr
                                                                         : std::move(client);
}

// What became of client's download of the small photo: "whole" when it was answered 0 and its
// chunks brought every byte, "<answered N>" for another answer, "<closed after K bytes>" when
// the connection ended first, "<other bytes>" when what came is not the photo.
std::string DownloadSmall(RawClient& client) {
    client.SendFrame(RelayWire::MediaFile(RelayWire::GetMedia, kSmall, 0));
    std::string photo;
    while (photo.size() < kSmallSize) {
        const auto frame = client.NextFrame();
        if (!frame) {
            return "<closed after " + std::to_string(photo.size()) + " bytes>";
        }
        const RelayWire::Parsed message = RelayWire::Parse(*frame);
        if (message.type == RelayWire::GetMediaAnswer &&
            RelayWire::ReadU32(message.payload, 1) == kSmall && message.payload[0] != 0) {
            return "<answered " + std::to_string(int{message.payload[0]}) + ">";
        }
        if (message.type == RelayWire::MediaChunk &&
            RelayWire::ReadU32(message.payload, 0) == kSmall) {
            photo += message.payload.substr(11);
        }
    }
    return photo == kSmallPhoto ? "whole" : "<other bytes>";
}

// At an open file limit of 128, in a room for 8 without a password, six members from two
// addresses each ask for 16 photos of 64 MiB and read nothing: 96 files would take more than
// the table leaves beside the room's connections, so each member runs its share at once and
// start-up says so. A newcomer from a third address then joins, and a member's download of the
// small photo, and then the newcomer's, are answered 0 and come whole. Before, the members'
// files took every descriptor below the reserve: the newcomer was closed before its join, and
// the small photo was answered 2 (not found).
TEST(ServerDownloadShare, MembersDownloadsLeaveNewcomersAndListedPhotosTheirDescriptors) {
    Room room;
    WriteRoom(room);
    TestSupport::ServerProcess server({"sh", "-c",
                                       "cd " + room.File("") + " && exec prlimit --nofile=32:" +
                                           std::to_string(kLimit) + " " + AdminTest::kServer},
                                      "");
    // Set before the line is written: the members come after it.
    EXPECT_GE(server.WaitForLine(" downloads at once for each of RoomMaxClients (8), fewer than "
                                 "16: each member runs "),
              0)
        << server.Output();
    AdminTest::WaitForStartUp(server);
    RawClient member(room.Port());
    ASSERT_EQ(AdminTest::Join(member, "Ann", ""), 0);
    std::vector<std::unique_ptr<RawClient>> flooders;
    for (uint32_t i = 0; i < kFlooders; ++i) {
        flooders.push_back(Flooder(room.Port(), i % 2 == 0 ? "127.0.0.1" : "127.0.0.2", i));
        ASSERT_NE(flooders.back(), nullptr) << i << "\n" << server.Output();
    }

    RawClient newcomer(room.Port(), "127.0.0.3");
    EXPECT_EQ(AdminTest::Join(newcomer, "Bob", ""), 0) << server.Output();
    EXPECT_EQ(DownloadSmall(member), "whole");
    EXPECT_EQ(DownloadSmall(newcomer), "whole");

    server.Signal(SIGTERM);
    EXPECT_EQ(server.WaitForExit(), 0);
}

}  // namespace
