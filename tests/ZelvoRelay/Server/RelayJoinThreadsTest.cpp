#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/Process.h"
#include "support/RelayTestServer.h"
#include "support/RelayWire.h"
#include "support/Text.h"

namespace {

using TestSupport::ExpectNext;
using TestSupport::RelayTestRoom;
using TestSupport::RelayTestServer;
namespace Wire = RelayWire;

// The raw SHA-256 digest of each password, as hashlib computes it.
std::map<std::string, std::string> Digests(const std::vector<std::string>& passwords) {
    const std::vector<std::string> lines = TestSupport::PythonLines(
        "import hashlib, sys\n"
        "for word in sys.stdin.read().split():\n"
        "    print(hashlib.sha256(word.encode()).hexdigest())\n",
        passwords);
    std::map<std::string, std::string> digests;
    for (size_t i = 0; i < passwords.size() && i < lines.size(); ++i) {
        digests[passwords[i]] = TestSupport::FromHex(lines[i]);
    }
    return digests;
}

// The four pairs of privilege and access the default accounts carry: voice, chat and
// photos may be written, deleting photos as given.
std::string Pairs(uint8_t deletePhotos) {
    return Wire::U8(4) + Wire::U8(1) + Wire::U8(2) + Wire::U8(2) + Wire::U8(2) + Wire::U8(3) +
           Wire::U8(2) + Wire::U8(4) + Wire::U8(deletePhotos);
}

TEST(RelayJoinTest, AdmittedClientLearnsRoomRightsVoiceAndEveryConnection) {
    RelayTestServer server;
    server.Room().MaxClients = 10;
    // A name longer than a text field holds goes out as its first 255 bytes.
    server.Room().Name = System::String(std::string(300, 'r').c_str());
    server.Room().Summary = "summary";
    ASSERT_TRUE(server.Start());
    RelayTestRoom room(server.Port());

    RelayTestRoom::Member& alice = room.Connect();
    alice.client->SendFrame(Wire::Join("alice", ""));
    ExpectNext(*alice.client, Wire::Message(Wire::JoinResponse, 1, Wire::U8(0)));
    // Group 2, then four pairs of privilege and access: voice, chat and photos may be
    // written, deleting photos not at all.
    ExpectNext(*alice.client,
               Wire::Message(Wire::UserPrivilege, 1, TestSupport::FromHex("02040102020203020400")));
    ExpectNext(*alice.client, Wire::Message(Wire::RoomInfo, 1,
                                            Wire::Text(std::string(255, 'r')) +
                                                Wire::Text("summary") + Wire::U32(10)));
    ExpectNext(*alice.client, Wire::Message(Wire::VoiceInit, 1,
                                            Wire::U32(32000) + Wire::U8(1) + Wire::U8(16) +
                                                Wire::U8(1) + Wire::U8(8)));
    alice.name = "alice";
    alice.joined = true;

    RelayTestRoom::Member& idle = room.Connect();
    RelayTestRoom::Member& carol = room.Join("carol");
    EXPECT_EQ(carol.id, 3u);

    // The idle connection was told nothing: the first thing it receives is the answer
    // to its own request.
    idle.client->SendFrame(Wire::Message(Wire::ChangeName, 0, Wire::Text("x")));
    ExpectNext(*idle.client, Wire::Message(Wire::Error, 0, Wire::U8(1)));
}

TEST(RelayJoinTest, PasswordDigestChoosesTheAccountAndItsGroup) {
    const auto digests = Digests({"adminpw", "modpw", "userpw"});
    RelayTestServer server;
    server.Room().MaxClients = 10;
    RelayTestServer::SetPassword(server.Room().AdminAccount, "adminpw");
    RelayTestServer::SetPassword(server.Room().ModeratorAccount, "modpw");
    RelayTestServer::SetPassword(server.Room().UserAccount, "userpw");
    ASSERT_TRUE(server.Start());
    RelayTestRoom room(server.Port());

    const struct {
        const char* password;
        uint8_t group;
        uint8_t deletePhotos;
    } cases[] = {{"adminpw", 0, 2}, {"modpw", 1, 2}, {"userpw", 2, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.password);
        RelayTestRoom::Member& member = room.Connect();
        member.client->SendFrame(Wire::Join(c.password, digests.at(c.password)));
        ExpectNext(*member.client, Wire::Message(Wire::JoinResponse, member.id, Wire::U8(0)));
        ExpectNext(*member.client, Wire::Message(Wire::UserPrivilege, member.id,
                                                 Wire::U8(c.group) + Pairs(c.deletePhotos)));
    }
}

TEST(RelayJoinTest, RefusalIsAnsweredWithItsCodeThenTheConnectionCloses) {
    const auto digests = Digests({"secret", "wrong"});
    const struct {
        const char* what;
        uint8_t code;
        uint32_t maxClients;
        bool passwordSet;
        bool userEnabled;
        const char* name;
        const char* password;
        bool joinFirst;
    } cases[] = {
        {"room full", 1, 1, false, true, "bob", "", false},
        {"empty name", 2, 10, false, true, "", "", false},
        {"wrong password", 3, 10, true, true, "bob", "wrong", false},
        {"account disabled", 4, 10, false, false, "bob", "", false},
        {"already joined", 5, 10, false, true, "bob", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RelayTestServer server;
        server.Room().MaxClients = c.maxClients;
        server.Room().UserAccount.IsEnabled = c.userEnabled;
        if (c.passwordSet) {
            RelayTestServer::SetPassword(server.Room().UserAccount, "secret");
        }
        // The admin account, joined with its password, watches the room.
        RelayTestServer::SetPassword(server.Room().AdminAccount, "secret");
        ASSERT_TRUE(server.Start());
        RelayTestRoom room(server.Port());
        RelayTestRoom::Member& watcher = room.Join("watcher", digests.at("secret"), 0);

        RelayTestRoom::Member& member = c.joinFirst ? room.Join(c.name) : room.Connect();
        const std::string digest = *c.password == '\0' ? "" : digests.at(c.password);
        member.client->SendFrame(Wire::Join(c.name, digest));
        ExpectNext(*member.client, Wire::Message(Wire::JoinResponse, 0, Wire::U8(c.code)));
        EXPECT_TRUE(member.client->WaitClosed());
        member.open = false;
        ExpectNext(*watcher.client, Wire::Message(Wire::UserLeft, member.id));
    }
}

// A newcomer learns its id from the response to its join: room traffic that reached it
// first could not be placed. Queued behind chat already waiting to be relayed, the
// admission used to follow that chat to most newcomers of a busy room.
TEST(RelayJoinTest, ANewcomerReceivesItsResponseBeforeAnyChatOfABusyRoom) {
    RelayTestServer server;
    server.Room().MaxClients = 100;
    ASSERT_TRUE(server.Start());
    RelayTestRoom room(server.Port());
    RelayTestRoom::Member& chatter = room.Join("chatter");
    std::atomic<bool> done{false};
    std::thread talk([&] {
        for (int i = 0; !done.load(); ++i) {
            chatter.client->SendFrame(Wire::ChatText("chat " + std::to_string(i)));
        }
    });
    for (uint32_t id = 2; id < 32; ++id) {
        TestSupport::RawClient newcomer(server.Port());
        newcomer.SendFrame(Wire::Join("newcomer", ""));
        ExpectNext(newcomer, Wire::Message(Wire::JoinResponse, id, Wire::U8(0)));
    }
    done = true;
    chatter.client->ShutdownSend();
    talk.join();
}

// The members are told of a newcomer before anything it says: a chat from an id they
// were never told of cannot be placed. A join and a chat sent in one write are read
// together, and a notice queued behind that chat used to reach every member after it.
TEST(RelayJoinTest, MembersAreToldOfANewcomerBeforeItsFirstChat) {
    RelayTestServer server;
    server.Room().MaxClients = 100;
    ASSERT_TRUE(server.Start());
    RelayTestRoom room(server.Port());
    std::vector<RelayTestRoom::Member*> members = {&room.Join("alice"), &room.Join("bob")};
    const auto framed = [](const std::string& message) {
        return Wire::U32(static_cast<uint32_t>(message.size())) + message;
    };
    for (int round = 0; round < 20; ++round) {
        RelayTestRoom::Member& newcomer = room.Connect();
        newcomer.name = "newcomer";
        newcomer.joined = true;
        const std::string chat =
            Wire::Message(Wire::Chat, newcomer.id, Wire::Text("hi " + std::to_string(round)));
        ASSERT_TRUE(
            newcomer.client->SendBytes(framed(Wire::Join(newcomer.name, "")) + framed(chat)));
        for (RelayTestRoom::Member* member : members) {
            ExpectNext(*member->client, RelayTestRoom::Joined(newcomer));
            ExpectNext(*member->client, chat);
        }
        // The newcomer's own admission, so that it starts the next round quiet.
        ExpectNext(*newcomer.client, Wire::Message(Wire::JoinResponse, newcomer.id, Wire::U8(0)));
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(newcomer.client->NextFrame().has_value());
        }
        for (RelayTestRoom::Member* member : members) {
            ExpectNext(*newcomer.client, RelayTestRoom::Joined(*member));
        }
        members.push_back(&newcomer);
    }
}

// Connections that never join would hold the places the room's limit counts for as long
// as they liked. Shortened here, the time to join ends them as leaving clients; members
// who joined in time stay, however quiet.
TEST(RelayJoinTest, AConnectionThatDoesNotJoinInTimeIsClosedLikeALeavingClient) {
    RelayTestServer server;
    server.Room().MaxClients = 10;
    server.SetJoinTimeout(0.5);
    ASSERT_TRUE(server.Start());
    RelayTestRoom room(server.Port());
    RelayTestRoom::Member& alice = room.Join("alice");
    RelayTestRoom::Member& bob = room.Join("bob");
    RelayTestRoom::Member& silent = room.Connect();
    RelayTestRoom::Member& halfHeader = room.Connect();
    ASSERT_TRUE(halfHeader.client->SendBytes(std::string(2, '\x10')));

    EXPECT_TRUE(silent.client->WaitClosed());
    EXPECT_TRUE(halfHeader.client->WaitClosed());
    silent.open = false;
    halfHeader.open = false;
    // Both left: the members are told in whichever order the two were closed.
    for (RelayTestRoom::Member* member : {&alice, &bob}) {
        std::vector<std::string> told;
        for (int i = 0; i < 2; ++i) {
            told.push_back(member->client->NextFrame().value_or(""));
        }
        std::sort(told.begin(), told.end());
        EXPECT_EQ(told, (std::vector<std::string>{Wire::Message(Wire::UserLeft, silent.id),
                                                  Wire::Message(Wire::UserLeft, halfHeader.id)}));
    }
    alice.client->SendFrame(Wire::ChatText("still here"));
    ExpectNext(*bob.client, Wire::Message(Wire::Chat, alice.id, Wire::Text("still here")));
}

}  // namespace
