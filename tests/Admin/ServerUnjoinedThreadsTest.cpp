// What connections that have not joined may hold while they download, the server binary end to
// end: each test in a fresh working directory on a free port.
#include "Admin/RoomFixture.h"
#include "support/ListenQueue.h"
#include "support/Process.h"
#include "support/Wait.h"

#include <signal.h>
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

using AdminTest::ConfigXml;
using AdminTest::Privileges;
using AdminTest::Room;
using AdminTest::Settings;
using TestSupport::RawClient;
using TestSupport::SocketsOpen;

constexpr int kLimit = 64;
constexpr uint32_t kPhotos = 100;  // the first id of the outsider's photos
constexpr uint32_t kShare = 16;    // the downloads one member runs at once
const std::string kListing =
    RelayWire::Message(RelayWire::GetMediaInfo, 0, RelayWire::U32(0xFFFFFFFF) + RelayWire::U8(255));

// A relay frame: the payload's length, little-endian, then the payload.
std::string Frame(const std::string& payload) {
    return RelayWire::U32(static_cast<uint32_t>(payload.size())) + payload;
}

// The frames asking for resource of items first to first + count - 1.
std::string Requests(uint32_t first, uint32_t count, uint8_t resource) {
    std::string requests;
    for (uint32_t id = first; id < first + count; ++id) {
        requests += Frame(RelayWire::MediaFile(RelayWire::GetMedia, id, resource));
    }
    return requests;
}

// A room for maxClients with the password "pass" whose items 0 to members - 1 have a preview of
// a few KiB (PreviewOf), and items kPhotos to kPhotos + kShare - 1 a photo of 64 MiB that takes
// no disk space, far more than any socket holds, so that no download of one ends while it is
// unread.
void WriteRoom(const Room& room, uint32_t members, uint32_t maxClients = Settings().maxClients) {
    Settings settings;
    settings.maxClients = maxClients;
    room.Write("config.xml", ConfigXml(room.Port(), settings, Privileges("", "", "pass")));
    std::string media = "<media count=\"" + std::to_string(members + kShare) + "\">";
    const auto item = [&media](uint32_t id) {
        media += "<item><entry><id>" + std::to_string(id) + "</id></entry><group /></item>";
    };
    for (uint32_t id = 0; id < members; ++id) {
        item(id);
        room.Write("media/" + std::to_string(id) + "_1", std::string(3000 + id, char('a' + id)));
    }
    for (uint32_t id = kPhotos; id < kPhotos + kShare; ++id) {
        item(id);
        room.Write("media/" + std::to_string(id) + "_0", "");
        std::filesystem::resize_file(room.File("media/" + std::to_string(id) + "_0"), 64u << 20);
    }
    room.Write("media.xml", media + "</media>");
}

std::string PreviewOf(uint32_t id) {
    return std::string(3000 + id, char('a' + id));
}

// How many descriptors the server holds on the outsider's photos.
int PhotosOpen(const Room& room, pid_t pid) {
    int open = 0;
    for (uint32_t id = kPhotos; id < kPhotos + kShare; ++id) {
        open += TestSupport::DescriptorsOpenOn(
            pid, std::filesystem::canonical(room.File("media/" + std::to_string(id) + "_0")));
    }
    return open;
}

// A connection from source that never joins, reads little, and asks for every one of the
// outsider's photos; it reads on until its listing is answered, which comes once the server
// has handled every request before it. Null when the server closes it first.
std::unique_ptr<RawClient> Downloader(uint16_t port, const std::string& source) {
    auto client = std::make_unique<RawClient>(port, source);
    client->SetReceiveBuffer(4096);
    client->SendBytes(Requests(kPhotos, kShare, 0) + Frame(kListing));
    return AdminTest::FramesUntil(*client, RelayWire::MediaInfo).empty() ? nullptr
                                                                         : std::move(client);
}

// The files of items first to first + count - 1 of resource that client reads, each shorter
// than a chunk of 4 KiB; reads until each has come or has been refused.
std::vector<std::string> ReadDownloads(RawClient& client, uint32_t first, uint32_t count,
                                       uint8_t resource) {
    std::vector<std::string> files(count);
    std::set<uint32_t> done;
    while (done.size() < count) {
        const auto frame = client.NextFrame();
        if (!frame) {
            ADD_FAILURE() << done.size() << " of " << count << " downloads came";
            break;
        }
        const RelayWire::Parsed message = RelayWire::Parse(*frame);
        const uint32_t id =
            RelayWire::ReadU32(message.payload, message.type == RelayWire::GetMediaAnswer ? 1 : 0);
        if (message.type == RelayWire::GetMediaAnswer && message.payload[0] != 0) {
            done.insert(id);
        } else if (message.type == RelayWire::MediaChunk &&
                   static_cast<uint8_t>(message.payload[4]) == resource) {
            files[id - first] = message.payload.substr(11);
            done.insert(id);
        }
    }
    return files;
}

// An outsider without the password at 127.0.0.2 opens 20 connections that each ask for 16
// photos and read nothing more: each runs at most one download, and the address 16, the rest
// waiting, and none holds a photo open while it reads nothing (a file is open only while a
// chunk of it is read), while a member's gallery of 20 previews comes whole. One of the
// outsider's that waits gets its turn as another of its address leaves, and one that joins gets
// a member's 16 at once. Before, every connection held 16 files open.
TEST(ServerUnjoined, NeverJoinedConnectionsHoldOneFileEachAndSixteenPerAddress) {
    constexpr uint32_t kGallery = 20;
    Room room;
    WriteRoom(room, kGallery);
    auto server = room.Start();
    std::vector<std::unique_ptr<RawClient>> outsider;
    outsider.push_back(Downloader(room.Port(), "127.0.0.2"));
    ASSERT_NE(outsider.back(), nullptr);
    EXPECT_LT(PhotosOpen(room, server->Pid()), static_cast<int>(kShare));
    for (int i = 1; i < 20; ++i) {
        outsider.push_back(Downloader(room.Port(), "127.0.0.2"));
        ASSERT_NE(outsider.back(), nullptr) << i;
    }
    EXPECT_LT(PhotosOpen(room, server->Pid()), static_cast<int>(kShare));

    RawClient member(room.Port());
    ASSERT_EQ(AdminTest::Join(member, "Ann", "pass"), 0);
    member.SendBytes(Requests(0, kGallery, 1));
    const std::vector<std::string> previews = ReadDownloads(member, 0, kGallery, 1);
    for (uint32_t id = 0; id < kGallery; ++id) {
        EXPECT_EQ(previews[id], PreviewOf(id)) << id;
    }

    // The first sixteen run one download each; the seventeenth waits first.
    outsider[0]->Close();
    const auto started = AdminTest::FramesUntil(*outsider[16], RelayWire::MediaChunk);
    ASSERT_FALSE(started.empty()) << server->Output();
    EXPECT_LT(PhotosOpen(room, server->Pid()), static_cast<int>(kShare));
    ASSERT_EQ(AdminTest::Join(*outsider[19], "Bob", "pass"), 0);
    std::set<uint32_t> running;
    while (running.size() < kShare) {
        const auto frame = outsider[19]->NextFrame();
        ASSERT_TRUE(frame) << running.size() << " downloads started";
        const RelayWire::Parsed message = RelayWire::Parse(*frame);
        if (message.type == RelayWire::MediaChunk) {
            running.insert(RelayWire::ReadU32(message.payload, 0));
        }
    }
    EXPECT_LT(PhotosOpen(room, server->Pid()), static_cast<int>(kShare));
}

// The command that starts the server in room's directory under an open file limit of kLimit.
std::vector<std::string> WithSmallFileLimit(const Room& room) {
    return {"sh", "-c",
            "cd " + room.File("") + " && exec prlimit --nofile=32:" + std::to_string(kLimit) + " " +
                AdminTest::kServer};
}

// At an open file limit of 64, a newcomer at 127.0.0.3 connects, then an outsider without the
// password at 127.0.0.2 opens 40 connections one after another, each asking for 16 photos and
// reading nothing: each is served by closing the outsider's oldest, which gives back its
// sockets and its file before the one that asked is served. The newcomer then joins and is
// admitted; a member's 17 previews all come whole, each after the first starting on a client
// worker when the one before it has been sent (the limit leaves a room for 20 one download at
// once for each member; the message worker makes room for it), and its upload is accepted.
// Nothing is refused at the reserve. Before, each download at the reserve closed one of the
// outsider's connections for one descriptor, leaving its file open, the outsider's connections
// ran out and the newcomer, the oldest left, was closed.
TEST(ServerUnjoined, AConnectionClosedForRoomGivesBackEverythingItHoldsFirst) {
    constexpr uint32_t kPreviews = 17;
    Room room;
    WriteRoom(room, kPreviews);
    TestSupport::ServerProcess server(WithSmallFileLimit(room), "");
    ASSERT_GE(server.WaitForLine("Open file limit 64 leaves room for "), 0);
    RawClient member(room.Port());
    ASSERT_EQ(AdminTest::Join(member, "Ann", "pass"), 0);
    RawClient newcomer(room.Port(), "127.0.0.3");
    newcomer.SendFrame(kListing);
    ASSERT_FALSE(AdminTest::FramesUntil(newcomer, RelayWire::MediaInfo).empty());
    std::vector<std::unique_ptr<RawClient>> outsider;
    for (int i = 0; i < 40; ++i) {
        outsider.push_back(Downloader(room.Port(), "127.0.0.2"));
    }
    EXPECT_EQ(AdminTest::Join(newcomer, "Bob", "pass"), 0);

    member.SendBytes(Requests(0, kPreviews, 1));
    const std::vector<std::string> files = ReadDownloads(member, 0, kPreviews, 1);
    for (uint32_t id = 0; id < kPreviews; ++id) {
        EXPECT_EQ(files[id], PreviewOf(id)) << id;
    }
    member.SendFrame(RelayWire::AddMediaRequest(1, 1, 100, "new"));
    const auto added = AdminTest::FramesUntil(member, RelayWire::AddMediaAnswer);
    EXPECT_EQ(RelayWire::Parse(added.empty() ? "" : added.back()).payload.substr(0, 2),
              RelayWire::U8(1) + RelayWire::U8(0));

    server.Signal(SIGTERM);
    EXPECT_EQ(server.WaitForExit(), 0);
    const std::string log = server.Output();
    const std::regex refused(
        R"(refused new connections (\d+), downloads (\d+), uploads (\d+), policy requests (\d+))");
    size_t lines = 0;
    for (std::sregex_iterator it(log.begin(), log.end(), refused), none; it != none; ++it) {
        ++lines;
        for (size_t use = 1; use <= 4; ++use) {
            EXPECT_EQ((*it)[use].str(), "0") << (*it)[0].str();
        }
    }
    EXPECT_GT(lines, 0u) << log;
}

// The server's open descriptors, each with what it refers to.
std::map<int, std::string> Descriptors(pid_t pid) {
    std::map<int, std::string> descriptors;
    for (const auto& entry :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) {
        std::error_code error;
        descriptors[std::stoi(entry.path().filename())] =
            std::filesystem::read_symlink(entry.path(), error).string();
    }
    return descriptors;
}

// At an open file limit of 64, an outsider without the password at 127.0.0.2 holds four
// connections; then a member asks for a photo of 1 MiB, whose file is opened for each chunk.
// Once its first chunk has come, the soft limit is lowered at run time so that the numbers
// above the highest socket, where the next chunk's file lands, lie among the 16 descriptors the
// server keeps for saving. That chunk is read on a client worker, so the message worker makes room
// for it by closing the outsider's oldest connection, and every chunk comes. A client worker making
// room itself would wait for every client worker's turn to pause, its own among them, and
// nothing would come again.
TEST(ServerUnjoined, ADownloadStartingOnAClientWorkerHasRoomMadeByTheMessageWorker) {
    // Far more than what the sockets hold, so it runs on until it is read.
    constexpr uint32_t kFirst = 1u << 20;
    constexpr rlim_t kReserve = 16;
    Room room;
    WriteRoom(room, 1, 1);
    room.Write("media/0_0", std::string(kFirst, 'f'));
    TestSupport::ServerProcess server(WithSmallFileLimit(room), "");
    ASSERT_GE(server.WaitForLine("Open file limit: 64"), 0);
    AdminTest::WaitForStartUp(server);
    const pid_t pid = server.Pid();
    RawClient member(room.Port());
    member.SetReceiveBuffer(256 << 10);
    ASSERT_EQ(AdminTest::Join(member, "Ann", "pass"), 0);
    // Connected first, so that their sockets take lower numbers than the file.
    std::vector<std::unique_ptr<RawClient>> outsider;
    int line = server.WaitForLine(" has connected");
    for (int i = 0; i < 4; ++i) {
        outsider.push_back(std::make_unique<RawClient>(room.Port(), "127.0.0.2"));
        line = server.WaitForLine(" has connected", static_cast<size_t>(line) + 1);
        ASSERT_GE(line, 0);
    }

    member.SendFrame(RelayWire::MediaFile(RelayWire::GetMedia, 0, 0));
    uint32_t firstCame = 0;
    const auto readChunk = [&member, &server, &firstCame] {
        for (;;) {
            const auto frame = member.NextFrame();
            if (!frame) {
                ADD_FAILURE() << firstCame << " bytes of the download came\n" << server.Output();
                return;
            }
            const RelayWire::Parsed message = RelayWire::Parse(*frame);
            if (message.type == RelayWire::MediaChunk) {
                firstCame += static_cast<uint32_t>(message.payload.size() - 11);
                return;
            }
        }
    };
    readChunk();
    // Every number up to the highest socket is taken, the ones the listening servers' accepts
    // hold while they wait among them, though no listing shows those: a gap in the listing
    // below the outsiders' sockets is one, and a reserve starting there held every outsider's
    // socket, so that each was closed in turn and none made room. The next chunk's file takes
    // a number above, which the reserve starting just past the highest socket holds.
    int highest = 0;
    for (const auto& [descriptor, target] : Descriptors(pid)) {
        highest = target.rfind("socket:", 0) == 0 ? descriptor : highest;
    }
    rlimit limit{};
    ASSERT_EQ(prlimit(pid, RLIMIT_NOFILE, nullptr, &limit), 0) << std::strerror(errno);
    limit.rlim_cur = static_cast<rlim_t>(highest) + 1 + kReserve;
    ASSERT_EQ(prlimit(pid, RLIMIT_NOFILE, &limit, nullptr), 0) << std::strerror(errno);

    while (firstCame < kFirst && !::testing::Test::HasFailure()) {
        readChunk();
    }
    EXPECT_EQ(firstCame, kFirst);
    EXPECT_TRUE(outsider[0]->WaitClosed());

    server.Signal(SIGTERM);
    EXPECT_EQ(server.WaitForExit(), 0);
    const std::string log = server.Output();
    const std::regex closed(R"(that had not joined, for new connections \d+, downloads (\d+))");
    int forDownloads = 0;
    for (std::sregex_iterator it(log.begin(), log.end(), closed), none; it != none; ++it) {
        forDownloads += std::stoi((*it)[1].str());
    }
    EXPECT_EQ(forDownloads, 1) << log;
}

// A member and an outsider without the password share 127.0.0.2. The outsider opens 10
// connections that each ask for 60 listings of 255 items with titles deflate cannot shrink, and
// read none: each would hold far less than a member may have queued, but together far more than
// one member's 16 MiB, so their requests wait once their answers fill that share, while the
// member, joined, is still served, every page it asks at once; none of them is closed for it.
// Before, the server held every answer.
TEST(ServerUnjoined, OneAddressesConnectionsThatHaveNotJoinedHoldOneMembersShareOfMemory) {
    Room room;
    room.Write("config.xml", ConfigXml(room.Port(), Settings(), Privileges("", "", "pass")));
    std::string media = "<media count=\"255\">";
    uint32_t seed = 1;
    for (uint32_t id = 0; id < 255; ++id) {
        std::string title;
        for (int i = 0; i < 1000; ++i) {
            seed = seed * 1103515245 + 12345;
            title += static_cast<char>('A' + (seed >> 16) % 58 % 26 + ((seed >> 24) % 2) * 32);
        }
        media += "<item><entry><id>" + std::to_string(id) + "</id><title>" + title +
                 "</title></entry><group /></item>";
    }
    room.Write("media.xml", media + "</media>");
    auto server = room.Start();
    RawClient member(room.Port(), "127.0.0.2");
    ASSERT_EQ(AdminTest::Join(member, "Ann", "pass"), 0);
    std::vector<std::unique_ptr<RawClient>> outsider;
    int line = server->WaitForLine(" has connected");  // the member's
    for (int i = 0; i < 10; ++i) {
        outsider.push_back(std::make_unique<RawClient>(room.Port(), "127.0.0.2"));
        outsider.back()->SetReceiveBuffer(4096);
        line = server->WaitForLine(" has connected", static_cast<size_t>(line) + 1);
        ASSERT_GE(line, 0);
    }
    const size_t open = SocketsOpen(server->Pid());
    std::string listings;
    for (int i = 0; i < 60; ++i) {
        listings += Frame(kListing);
    }
    for (const auto& client : outsider) {
        client->SendBytes(listings);
    }
    // The message worker serves connections in turn: each of the outsider's has had as many
    // turns as the member has pages once it has them all.
    std::string pages;
    for (int i = 0; i < 100; ++i) {
        pages += Frame(kListing);
    }
    member.SendBytes(pages);
    for (int i = 0; i < 100; ++i) {
        ASSERT_FALSE(AdminTest::FramesUntil(member, RelayWire::MediaInfo).empty()) << i;
    }
    EXPECT_EQ(SocketsOpen(server->Pid()), open);
}

// count connections from source, each of which has sent bytes and nothing more, once the
// server has read every byte of them all: the kernel holds none of them unread.
std::vector<std::unique_ptr<RawClient>> Sending(uint16_t port, const std::string& source, int count,
                                                const std::string& bytes) {
    std::vector<std::unique_ptr<RawClient>> clients;
    for (int i = 0; i < count; ++i) {
        clients.push_back(std::make_unique<RawClient>(port, source));
        EXPECT_TRUE(clients.back()->SendBytes(bytes));
        EXPECT_TRUE(clients.back()->WaitAcknowledged());
    }
    EXPECT_TRUE(TestSupport::WaitUntil([&] {
        const std::map<std::string, uint32_t> unread = TestSupport::UnreadBytes(port);
        return std::all_of(clients.begin(), clients.end(), [&](const auto& client) {
            const auto found = unread.find(client->LocalEndPoint());
            return found != unread.end() && found->second == 0;
        });
    })) << "the server left bytes unread or closed a connection";
    return clients;
}

// In a room for 1,000, 1,000 connections from 127.0.0.2 each send the first 3 bytes of a length
// and nothing more, then 1,000 from 127.0.0.3 each the length of a frame of 32,767 bytes and its
// first 16 bytes. Once the server has read all they sent, the second thousand has grown its
// resident size by little more than the first: a frame that has partly arrived holds about what
// has come of it. Before, each connection's buffer was made as large as the length it declared,
// whatever came: 1,000 connections each declaring 32 KiB made the server hold 32 MB.
TEST(ServerUnjoined, AFramePartlyArrivedHoldsAboutWhatHasCome) {
    constexpr int kConnections = 1000;
    Room room;
    WriteRoom(room, 0, kConnections);
    auto server = room.Start();
    AdminTest::WaitForStartUp(*server);
    const uint64_t start = TestSupport::ResidentBytes(server->Pid());
    const auto lengths =
        Sending(room.Port(), "127.0.0.2", kConnections, RelayWire::U32(32767).substr(0, 3));
    const uint64_t between = TestSupport::ResidentBytes(server->Pid());
    const auto frames = Sending(room.Port(), "127.0.0.3", kConnections,
                                RelayWire::U32(32767) + std::string(16, 'x'));
    const uint64_t end = TestSupport::ResidentBytes(server->Pid());
    EXPECT_LT(end - between, between - start + (6u << 20))
        << (between - start) / 1024 << " KiB for the lengths, " << (end - between) / 1024
        << " KiB for the frames begun";
}

}  // namespace
