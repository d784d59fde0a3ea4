#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ZelvoRelay/Client/RelayBudget.h"
#include "ZelvoRelay/Collections/AddressTable.h"
#include "ZelvoRelay/Message/Registration/UserLeftMessage.h"
#include "support/Process.h"
#include "support/RelayTestServer.h"
#include "support/RelayWire.h"
#include "support/Text.h"
#include "support/Wait.h"

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
        // The admin account, joined with its password, watches the room. It joins while the
        // connection that has not joined is open, and is so told of it and of its leaving.
        RelayTestServer::SetPassword(server.Room().AdminAccount, "secret");
        ASSERT_TRUE(server.Start());
        RelayTestRoom room(server.Port());
        RelayTestRoom::Member* member = c.joinFirst ? nullptr : &room.Connect();
        RelayTestRoom::Member& watcher = room.Join("watcher", digests.at("secret"), 0);
        if (c.joinFirst) {
            member = &room.Join(c.name);
        }
        const std::string digest = *c.password == '\0' ? "" : digests.at(c.password);
        member->client->SendFrame(Wire::Join(c.name, digest));
        ExpectNext(*member->client, Wire::Message(Wire::JoinResponse, 0, Wire::U8(c.code)));
        EXPECT_TRUE(member->client->WaitClosed());
        member->open = false;
        ExpectNext(*watcher.client, Wire::Message(Wire::UserLeft, member->id));
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
// as they liked. Shortened here, the time to join ends them as leaving clients, whose leave
// the member admitted while they were open is told; members who joined in time stay,
// however quiet, and those admitted before the two opened are told nothing of them.
TEST(RelayJoinTest, AConnectionThatDoesNotJoinInTimeIsClosedLikeALeavingClient) {
    RelayTestServer server;
    server.Room().MaxClients = 10;
    server.SetJoinTimeout(2);
    ASSERT_TRUE(server.Start());
    RelayTestRoom room(server.Port());
    RelayTestRoom::Member& alice = room.Join("alice");
    RelayTestRoom::Member& bob = room.Join("bob");
    RelayTestRoom::Member& silent = room.Connect();
    RelayTestRoom::Member& halfHeader = room.Connect();
    ASSERT_TRUE(halfHeader.client->SendBytes(std::string(2, '\x10')));
    RelayTestRoom::Member& carol = room.Join("carol");

    EXPECT_TRUE(silent.client->WaitClosed());
    EXPECT_TRUE(halfHeader.client->WaitClosed());
    silent.open = false;
    halfHeader.open = false;
    // Both left: carol is told in whichever order the two were closed.
    std::vector<std::string> told;
    for (int i = 0; i < 2; ++i) {
        told.push_back(carol.client->NextFrame().value_or(""));
    }
    std::sort(told.begin(), told.end());
    EXPECT_EQ(told, (std::vector<std::string>{Wire::Message(Wire::UserLeft, silent.id),
                                              Wire::Message(Wire::UserLeft, halfHeader.id)}));
    alice.client->SendFrame(Wire::ChatText("still here"));
    for (RelayTestRoom::Member* member : {&bob, &carol}) {
        ExpectNext(*member->client, Wire::Message(Wire::Chat, alice.id, Wire::Text("still here")));
    }
}

// What one address's connections make the room send about their coming and going (each
// admitted one's notice with its name, each leaving one's) draws on a budget of the address.
// Once it is in debt the address's new connections are closed at once, before they become
// clients: no id is drawn and no member is told of them. Another address still joins, and a
// member already joined from the address stays. Before, one party rejoining with long names
// as fast as it could had slower members closed for what the room sent them.
//
// The budgets of the two addresses cycling are spent as of an hour ahead, but for a few
// notices' worth: the table never counts time back, so nothing is refilled while the test
// runs, and the joins and leaves below spend the rest.
TEST(RelayJoinTest, AnAddressWhoseNoticesSpendItsBudgetHasItsNewConnectionsClosed) {
    using ZelvoRelay::Collections::AddressTable;
    const std::string rejoiner = "127.0.0.3";
    const std::string outsider = "127.0.0.4";
    RelayTestServer server;
    server.Room().MaxClients = 10;
    ASSERT_TRUE(server.Start());
    RelayTestRoom room(server.Port());
    RelayTestRoom::Member& ann = room.Join("ann");
    TestSupport::RawClient bob(server.Port(), rejoiner);
    bob.SendFrame(Wire::Join("bob", ""));
    ExpectNext(bob, Wire::Message(Wire::JoinResponse, 2, Wire::U8(0)));
    ExpectNext(*ann.client, Wire::Message(Wire::UserJoined, 2, Wire::Text("bob") + Wire::U8(2)));

    // What is left before the debt: nine joins with 255-byte names and their leaves (330
    // bytes each, with 64 for a leave) for the rejoiner, ten leaves for the outsider.
    AddressTable& addresses = RelayTestServer::Model::Instance()->Addresses;
    const ZelvoRelay::Message::Registration::UserLeftMessage left(1);
    const AddressTable::Clock::time_point ahead =
        AddressTable::Clock::now() + std::chrono::hours(1);
    const auto burst = static_cast<uint32_t>(ZelvoRelay::Client::RelayBudget::kBurstBytes);
    for (const auto& [source, leftOver] : {std::pair(rejoiner, 3008u), std::pair(outsider, 640u)}) {
        for (uint32_t spent = leftOver; spent < burst; spent += 64) {
            addresses.ChargeNotice(System::Net::IPAddress::Parse(source.c_str()).SwapEndian(), left,
                                   ahead);
        }
    }

    // Whether the server no longer holds the client id: its leave has been charged.
    const auto gone = [](uint32_t id) {
        auto& clients = RelayTestServer::Model::Instance()->Clients;
        clients.mMonitor.Enter();
        const bool held = clients.mValue.FindClient(id) != nullptr;
        clients.mMonitor.Exit();
        return !held;
    };
    uint32_t nextId = 3;
    // Connections from source each sending a join with name, closed once answered, until
    // one is closed without an answer (at most 40): how many were answered. Ann is told of
    // each one admitted and of its leaving; of one refused, admitted after her, of nothing.
    const auto cycle = [&](const std::string& source, const std::string& name) {
        uint32_t answered = 0;
        for (; answered < 40; ++answered) {
            TestSupport::RawClient client(server.Port(), source);
            client.SendFrame(Wire::Join(name, ""));
            const std::optional<std::string> answer = client.NextFrame();
            if (!answer) {
                break;
            }
            const uint32_t id = nextId++;
            const bool admitted = !name.empty();
            EXPECT_EQ(TestSupport::Hex(*answer),
                      TestSupport::Hex(Wire::Message(Wire::JoinResponse, admitted ? id : 0,
                                                     Wire::U8(admitted ? 0 : 2))));
            if (admitted) {
                ExpectNext(*ann.client,
                           Wire::Message(Wire::UserJoined, id, Wire::Text(name) + Wire::U8(2)));
            }
            client.Close();
            if (admitted) {
                ExpectNext(*ann.client, Wire::Message(Wire::UserLeft, id));
            } else {
                EXPECT_TRUE(TestSupport::WaitUntil([&] { return gone(id); })) << id;
            }
        }
        return answered;
    };
    EXPECT_EQ(cycle(rejoiner, std::string(255, 'r')), 10u);
    EXPECT_EQ(cycle(outsider, ""), 11u);

    TestSupport::RawClient newcomer(server.Port());
    newcomer.SendFrame(Wire::Join("cid", ""));
    ExpectNext(newcomer, Wire::Message(Wire::JoinResponse, nextId, Wire::U8(0)));
    ExpectNext(*ann.client,
               Wire::Message(Wire::UserJoined, nextId, Wire::Text("cid") + Wire::U8(2)));
    bob.SendFrame(Wire::ChatText("still here"));
    ExpectNext(*ann.client, Wire::Message(Wire::Chat, 2, Wire::Text("still here")));
}

}  // namespace
