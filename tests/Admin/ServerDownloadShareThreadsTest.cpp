// How the open file limit is shared between members' connections and the files of their
// downloads and uploads, the server binary end to end: each test in a fresh working directory
// on a free port.
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

// A room without a password for places, whose item kSmall has a photo of 40 KiB and items
// kPhotos to kPhotos + kAsked - 1 a photo of 64 MiB that takes no disk space, far more than any
// socket holds, so that no download of one ends while it is unread.
void WriteRoom(const Room& room, uint32_t places = kRoom) {
    Settings settings;
    settings.maxClients = places;
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

// The server binary in room, under an open file limit of kLimit.
std::unique_ptr<TestSupport::ServerProcess> StartLimited(const Room& room) {
    return std::make_unique<TestSupport::ServerProcess>(
        std::vector<std::string>{"sh", "-c",
                                 "cd " + room.File("") + " && exec prlimit --nofile=32:" +
                                     std::to_string(kLimit) + " " + AdminTest::kServer},
        "");
}

using Requests = std::vector<std::string>;

// Asks for every large photo.
Requests AskLargePhotos() {
    Requests frames;
    for (uint32_t id = kPhotos; id < kPhotos + kAsked; ++id) {
        frames.push_back(RelayWire::MediaFile(RelayWire::GetMedia, id, 0));
    }
    return frames;
}

// Announces kAsked uploads of 4,000,000 bytes each, whose chunks never come.
Requests AnnounceUploads() {
    Requests frames;
    for (uint32_t request = 0; request < kAsked; ++request) {
        frames.push_back(RelayWire::AddMediaRequest(static_cast<uint8_t>(request), 1, 4000000,
                                                    "up" + std::to_string(request)));
    }
    return frames;
}

// A member from source that sends requests and then asks for a listing, reads until the
// listing is answered (which comes once the server has handled every request before it) and
// then reads nothing more. Null when it cannot join.
std::unique_ptr<RawClient> Flooder(uint16_t port, const std::string& source, uint32_t number,
                                   const Requests& requests) {
    auto client = std::make_unique<RawClient>(port, source);
    client->SetReceiveBuffer(4096);
    if (AdminTest::Join(*client, "flooder" + std::to_string(number), "") != 0) {
        return nullptr;
    }
    for (const std::string& request : requests) {
        client->SendFrame(request);
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

// Members fill the room, then a newcomer from another address joins, and a member's download of
// the small photo, and then the newcomer's, are answered 0 and come whole.
void ExpectNewcomerAndMemberServed(TestSupport::ServerProcess& server, const Room& room,
                                   RawClient& member, uint32_t members, const Requests& requests) {
    std::vector<std::unique_ptr<RawClient>> flooders;
    for (uint32_t i = 0; i < members; ++i) {
        flooders.push_back(
            Flooder(room.Port(), i % 2 == 0 ? "127.0.0.1" : "127.0.0.2", i, requests));
        ASSERT_NE(flooders.back(), nullptr) << i << "\n" << server.Output();
    }
    RawClient newcomer(room.Port(), "127.0.0.3");
    EXPECT_EQ(AdminTest::Join(newcomer, "Bob", ""), 0) << server.Output();
    EXPECT_EQ(DownloadSmall(member), "whole");
    EXPECT_EQ(DownloadSmall(newcomer), "whole");
    server.Signal(SIGTERM);
    EXPECT_EQ(server.WaitForExit(), 0);
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
    auto started = StartLimited(room);
    TestSupport::ServerProcess& server = *started;
    // Set before the line is written: the members come after it.
    EXPECT_GE(server.WaitForLine(" downloads at once for each of RoomMaxClients (8), fewer than "
                                 "16: each member runs "),
              0)
        << server.Output();
    AdminTest::WaitForStartUp(server);
    RawClient member(room.Port());
    ASSERT_EQ(AdminTest::Join(member, "Ann", ""), 0) << server.Output();
    ExpectNewcomerAndMemberServed(server, room, member, kFlooders, AskLargePhotos());
}

// At an open file limit of 128, a room for 40 leaves room for its connections and no more than
// a few files: a member's share is none, and start-up says so (counting what the table leaves
// without the connections' two descriptors a place, it said each member had two). 32 members
// from two addresses each ask for 16 photos of 64 MiB and read nothing: each runs one download,
// whose file is open only while a chunk of it is read. Before, each held its file while its
// client read nothing, though the table had no file for it: the newcomer was closed before its
// join, and the small photo was answered 2 (not found).
TEST(ServerDownloadShare, MembersWithNoShareOfTheTableStillDownloadAndHoldNoFileWhileUnread) {
    constexpr uint32_t kPlaces = 40;
    Room room;
    WriteRoom(room, kPlaces);
    auto server = StartLimited(room);
    EXPECT_GE(server->WaitForLine(" leaves room for 0 downloads at once for each of "
                                  "RoomMaxClients (40), fewer than 16: each member runs 1 "
                                  "download and 1 upload at once (its share is none)"),
              0)
        << server->Output();
    AdminTest::WaitForStartUp(*server);
    RawClient member(room.Port());
    ASSERT_EQ(AdminTest::Join(member, "Ann", ""), 0) << server->Output();
    ExpectNewcomerAndMemberServed(*server, room, member, kPlaces - 8, AskLargePhotos());
}

// At an open file limit of 128, in a room for 8, six members from two addresses each announce 16
// uploads and send no chunk: each has its share of them accepted, and none holds a file. Before,
// every accepted upload held its file for as long as its member stayed: the newcomer was closed
// before its join, and the small photo was answered 2 (not found).
TEST(ServerDownloadShare,
     MembersUploadsThatSendNothingLeaveNewcomersAndListedPhotosTheirDescriptors) {
    Room room;
    WriteRoom(room);
    auto server = StartLimited(room);
    AdminTest::WaitForStartUp(*server);
    RawClient member(room.Port());
    ASSERT_EQ(AdminTest::Join(member, "Ann", ""), 0) << server->Output();
    ExpectNewcomerAndMemberServed(*server, room, member, kFlooders, AnnounceUploads());
}

}  // namespace
