#include <gtest/gtest.h>

#include <string>

#include "support/RelayTestServer.h"
#include "support/RelayWire.h"

namespace {

using TestSupport::ExpectNext;
using TestSupport::RelayTestRoom;
using TestSupport::RelayTestServer;
namespace Wire = RelayWire;

using Account = ZelvoRelay::MVC::Model::UserAccountModel;

// An account as configured: its password ("" for none), after a '!' when it is disabled.
// Each account gets rights of its own, as many as its group's distance from the users'
// plus one, so that the rights a newcomer is sent tell which account admitted it.
void Configure(Account& account, std::string setup, int group) {
    using Privilege = ZelvoRelay::MVC::Model::UserPrivilegeModel;
    account.Privileges.Clear();
    for (int i = group; i <= 2; ++i) {
        account.Privileges.Add(
            Privilege(Privilege::UserPrivilege(i + 1), Privilege::AccessRight(i % 3)));
    }
    account.IsEnabled = setup.empty() || setup[0] != '!';
    if (!account.IsEnabled) {
        setup.erase(0, 1);
    }
    if (!setup.empty()) {
        RelayTestServer::SetPassword(account, setup);
    }
}

// The rights of an account as the privilege message carries them, after the group.
std::string RightsBytes(const Account& account) {
    std::string bytes = Wire::U8(static_cast<uint8_t>(account.Privileges.Count()));
    for (uint32_t i = 0; i < account.Privileges.Count(); ++i) {
        bytes += Wire::U8(static_cast<uint8_t>(account.Privileges[i].Privilege)) +
                 Wire::U8(static_cast<uint8_t>(account.Privileges[i].Right));
    }
    return bytes;
}

// Sends member's join and expects admission into a group (0 to 2) with the rights of
// its account, or, for -code, refusal with that code followed by the end of the
// connection.
void ExpectJoin(RelayTestRoom::Member& member, const std::string& password, int expected,
                const std::string& rights = "") {
    const std::string digest = password.empty() ? "" : RelayTestServer::Digest(password);
    member.client->SendFrame(Wire::Join("member", digest));
    if (expected < 0) {
        ExpectNext(*member.client, Wire::Message(Wire::JoinResponse, 0, Wire::U8(-expected)));
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
    EXPECT_EQ(parsed.payload[0], expected);
    if (!rights.empty()) {
        EXPECT_EQ(parsed.payload.substr(1), rights);
    }
}

// The digest is tried on the administrator's, the moderator's and the users' account in
// that order; the first account whose password matches decides, even when it is disabled,
// and an account without a password is matched only by the users' account.
TEST(JoinRulesTest, TheFirstAccountWhosePasswordMatchesDecides) {
    const struct {
        const char* what;
        const char* admin;
        const char* moderator;
        const char* user;
        const char* password;
        int expected;
    } cases[] = {
        {"admin's password, admin disabled, users open", "!a", "", "", "a", -4},
        {"no password, admin disabled, users open", "!a", "", "", "", 2},
        {"admin and moderator share a password", "s", "s", "", "s", 0},
        {"shared password, admin disabled", "!s", "s", "", "s", -4},
        {"moderator's password, moderator disabled", "a", "!m", "", "m", -4},
        {"admin's password, users disabled with another", "a", "", "!u", "a", 0},
        {"wrong password, users open", "a", "m", "", "x", 2},
        {"no password, only admin has one", "a", "", "", "", 2},
        {"disabled accounts without password are passed over", "!", "!", "", "", 2},
        {"any password, no account has one", "", "", "", "x", 2},
        {"users' password, users disabled", "", "", "!u", "u", -4},
        {"wrong password, users disabled", "", "", "!u", "x", -3},
        {"no password, users need one", "a", "", "u", "", -3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RelayTestServer server;
        server.Room().MaxClients = 10;
        Account* accounts[] = {&server.Room().AdminAccount, &server.Room().ModeratorAccount,
                               &server.Room().UserAccount};
        Configure(*accounts[0], c.admin, 0);
        Configure(*accounts[1], c.moderator, 1);
        Configure(*accounts[2], c.user, 2);
        ASSERT_TRUE(server.Start());
        RelayTestRoom room(server.Port());
        ExpectJoin(room.Connect(), c.password, c.expected,
                   c.expected < 0 ? "" : RightsBytes(*accounts[c.expected]));
    }
}

// Only members count toward the room's limit: a connection that has not joined holds no
// place, and the limit's last place still admits.
TEST(JoinRulesTest, OnlyJoinedMembersCountTowardTheLimit) {
    for (uint32_t limit : {0u, 3u}) {
        SCOPED_TRACE(limit);
        RelayTestServer server;
        server.Room().MaxClients = limit;
        ASSERT_TRUE(server.Start());
        RelayTestRoom room(server.Port());
        if (limit == 0) {
            ExpectJoin(room.Connect(), "", -1);
            continue;
        }
        room.Connect();
        room.Join("second");
        room.Join("third");
        room.Join("fourth");
        ExpectJoin(room.Connect(), "", -1);
    }
}

TEST(JoinRulesTest, TwoMembersMayBearTheSameName) {
    RelayTestServer server;
    server.Room().MaxClients = 10;
    ASSERT_TRUE(server.Start());
    RelayTestRoom room(server.Port());
    // Join itself expects each admission and the notices about it.
    room.Join("twin");
    room.Join("twin");
}

}  // namespace
