#include <gtest/gtest.h>

#include <string>

#include "support/RelayTestServer.h"
#include "support/RelayWire.h"

namespace {

using TestSupport::ExpectNext;
using TestSupport::RelayTestRoom;
using TestSupport::RelayTestServer;
namespace Wire = RelayWire;

constexpr int kRefused = -1;

// One account as configured: its password ("" for none) and whether it is enabled.
struct Account {
    const char* password;
    bool enabled;
};

void Configure(ZelvoRelay::MVC::Model::UserAccountModel& account, const Account& setup) {
    if (*setup.password != '\0') {
        RelayTestServer::SetPassword(account, setup.password);
    }
    account.IsEnabled = setup.enabled;
}

// Sends member's join and expects admission into group, or refusal with code followed by
// the end of the connection.
void ExpectJoin(RelayTestRoom::Member& member, const std::string& name, const char* password,
                int group, uint8_t code) {
    const std::string digest = *password == '\0' ? "" : RelayTestServer::Digest(password);
    member.client->SendFrame(Wire::Join(name, digest));
    if (group == kRefused) {
        ExpectNext(*member.client, Wire::Message(Wire::JoinResponse, 0, Wire::U8(code)));
        EXPECT_TRUE(member.client->WaitClosed());
        member.open = false;
        return;
    }
    ExpectNext(*member.client, Wire::Message(Wire::JoinResponse, member.id, Wire::U8(0)));
    const auto privileges = member.client->NextFrame();
    ASSERT_TRUE(privileges.has_value());
    const Wire::Parsed parsed = Wire::Parse(*privileges);
    EXPECT_EQ(parsed.type, Wire::UserPrivilege);
    ASSERT_FALSE(parsed.payload.empty());
    EXPECT_EQ(parsed.payload[0], group);
}

// The digest is tried on the administrator's, the moderator's and the users' account in
// that order; the first account whose password matches decides, even when it is disabled,
// and an account without a password is matched only by the users' account.
TEST(JoinRulesTest, TheFirstAccountWhosePasswordMatchesDecides) {
    const struct {
        const char* what;
        Account admin, moderator, user;
        const char* password;
        int group;
        uint8_t code;
    } cases[] = {
        {"admin's password, admin disabled, users open",
         {"a", false},
         {"", true},
         {"", true},
         "a",
         kRefused,
         4},
        {"no password, admin disabled, users open", {"a", false}, {"", true}, {"", true}, "", 2, 0},
        {"admin and moderator share a password", {"s", true}, {"s", true}, {"", true}, "s", 0, 0},
        {"shared password, admin disabled",
         {"s", false},
         {"s", true},
         {"", true},
         "s",
         kRefused,
         4},
        {"moderator's password, moderator disabled",
         {"a", true},
         {"m", false},
         {"", true},
         "m",
         kRefused,
         4},
        {"admin's password, users need another", {"a", true}, {"", true}, {"u", false}, "a", 0, 0},
        {"wrong password, users open", {"a", true}, {"m", true}, {"", true}, "x", 2, 0},
        {"no password, only admin has one", {"a", true}, {"", true}, {"", true}, "", 2, 0},
        {"accounts without password are not reached",
         {"", false},
         {"", false},
         {"", true},
         "",
         2,
         0},
        {"any password, no account has one", {"", true}, {"", true}, {"", true}, "x", 2, 0},
        {"users' password, users disabled", {"", true}, {"", true}, {"u", false}, "u", kRefused, 4},
        {"wrong password, users disabled", {"", true}, {"", true}, {"u", false}, "x", kRefused, 3},
        {"no password, users need one", {"a", true}, {"", true}, {"u", true}, "", kRefused, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RelayTestServer server;
        server.Room().MaxClients = 10;
        Configure(server.Room().AdminAccount, c.admin);
        Configure(server.Room().ModeratorAccount, c.moderator);
        Configure(server.Room().UserAccount, c.user);
        ASSERT_TRUE(server.Start());
        RelayTestRoom room(server.Port());
        ExpectJoin(room.Connect(), "member", c.password, c.group, c.code);
    }
}

// Every connection counts toward the room's limit, joined or not; a room holding exactly
// its limit still admits.
TEST(JoinRulesTest, ConnectionsThatHaveNotJoinedCountTowardTheLimit) {
    for (uint32_t limit : {0u, 3u}) {
        SCOPED_TRACE(limit);
        RelayTestServer server;
        server.Room().MaxClients = limit;
        ASSERT_TRUE(server.Start());
        RelayTestRoom room(server.Port());
        if (limit == 0) {
            ExpectJoin(room.Connect(), "first", "", kRefused, 1);
            continue;
        }
        room.Connect();
        room.Join("second");
        room.Join("third");
        ExpectJoin(room.Connect(), "fourth", "", kRefused, 1);
    }
}

TEST(JoinRulesTest, TwoMembersMayBearTheSameName) {
    RelayTestServer server;
    server.Room().MaxClients = 10;
    ASSERT_TRUE(server.Start());
    RelayTestRoom room(server.Port());
    room.Join("twin");
    room.Join("twin");
}

}  // namespace
