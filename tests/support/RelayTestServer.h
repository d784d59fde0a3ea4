#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "System/Crypto/SHA.h"
#include "System/Net/IPAddress.h"
#include "System/Net/IPEndPoint.h"
#include "System/Singleton.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Threading/ClientThreadWorker.h"
#include "support/RawClient.h"
#include "support/RelayWire.h"

namespace TestSupport {

// The relay's model built afresh for one test, its server hosted on the loopback
// interface at a port the platform picks, and everything destroyed after the test.
// Header-only: the support library itself does not link the relay.
class RelayTestServer {
  public:
    using Model = ZelvoRelay::MVC::Model::ZelvoRelayModel;

    RelayTestServer() : mModel(Model::Instance()) {}
    ~RelayTestServer() {
        mModel->Server.Disconnect();
        System::Singleton<Model>::Destroy();
    }
    RelayTestServer(const RelayTestServer&) = delete;
    RelayTestServer& operator=(const RelayTestServer&) = delete;

    // REQUIRES: the room is set before Start, while no relay thread runs.
    ZelvoRelay::MVC::Model::RoomModel& Room() { return mModel->Room; }

    // Gives every client worker the time a connection may take to join.
    // REQUIRES: called before Start.
    void SetJoinTimeout(double seconds) {
        for (unsigned int i = 0; i < mModel->ClientWorkers.GetNumThread(); ++i) {
            static_cast<ZelvoRelay::Threading::ClientThreadWorker*>(
                mModel->ClientWorkers.GetThread(i))
                ->SetJoinTimeout(seconds);
        }
    }

    // Hosts the relay server; true when it listens.
    bool Start() {
        mModel->Server.Host(
            System::Net::IPEndPoint(System::Net::IPAddress::Loopback(), 0).SwapEndian());
        return mModel->Server.IsHosting();
    }

    // The port the server listens on.
    uint16_t Port() const {
        const uint16_t port = mModel->Server.GetSocket()->GetLocalEndPoint().GetPort();
        return static_cast<uint16_t>(port >> 8 | port << 8);
    }

    // Gives account the password, as start-up does: the raw SHA-256 digest of its bytes.
    static void SetPassword(ZelvoRelay::MVC::Model::UserAccountModel& account,
                            const std::string& password) {
        const std::string digest = Digest(password);
        account.Password = System::String(password.data(), password.size());
        account.PasswordHash = System::String(digest.data(), digest.size());
    }

    // The raw SHA-256 digest of password, as a join sends it.
    static std::string Digest(const std::string& password) {
        uint8_t digest[System::Crypto::SHA::SHA256Length];
        System::Crypto::SHA::SHA256(System::String(password.data(), password.size()), digest);
        return std::string(reinterpret_cast<char*>(digest), sizeof digest);
    }

  private:
    Model* mModel;
};

// The hexadecimal bytes of a message, for readable failures.
inline std::string Hex(const std::string& bytes) {
    static const char* const digits = "0123456789ABCDEF";
    std::string text;
    for (unsigned char byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
        text += ' ';
    }
    return text;
}

// Expects client's next frame to be exactly the message expected.
inline void ExpectNext(RawClient& client, const std::string& expected) {
    const std::optional<std::string> frame = client.NextFrame();
    ASSERT_TRUE(frame.has_value()) << "no frame; expected " << Hex(expected);
    EXPECT_EQ(Hex(*frame), Hex(expected));
}

// The connections of a test to one relay server, in the order of their client ids
// (the server gives out 1, 2, 3, ... in connection order). Joining goes through every
// reply the protocol owes the newcomer and the members, so that each test starts from
// quiet connections.
class RelayTestRoom {
  public:
    struct Member {
        std::unique_ptr<RawClient> client;
        uint32_t id{0};
        std::string name;
        uint8_t group{2};
        bool joined{false};
        bool open{true};
    };

    explicit RelayTestRoom(uint16_t port) : mPort(port) {}

    // A connection that does not join.
    Member& Connect() {
        auto member = std::make_unique<Member>();
        member->client = std::make_unique<RawClient>(mPort);
        member->id = static_cast<uint32_t>(mMembers.size() + 1);
        mMembers.push_back(std::move(member));
        return *mMembers.back();
    }

    // Connects and joins with the raw password digest (empty for none), expecting the
    // given group; takes the newcomer's replies and every member's notice of it.
    Member& Join(const std::string& name, const std::string& digest = "", uint8_t group = 2) {
        Member& newcomer = Connect();
        newcomer.client->SendFrame(RelayWire::Join(name, digest));
        ExpectNext(*newcomer.client,
                   RelayWire::Message(RelayWire::JoinResponse, newcomer.id, RelayWire::U8(0)));
        for (uint8_t type : {RelayWire::UserPrivilege, RelayWire::RoomInfo, RelayWire::VoiceInit}) {
            const auto frame = newcomer.client->NextFrame();
            EXPECT_TRUE(frame && RelayWire::Parse(*frame).type == type);
        }
        for (auto& other : mMembers) {
            if (other.get() != &newcomer && other->open) {
                ExpectNext(*newcomer.client, Joined(*other));
            }
        }
        newcomer.name = name;
        newcomer.group = group;
        newcomer.joined = true;
        for (auto& other : mMembers) {
            if (other.get() != &newcomer && other->open && other->joined) {
                ExpectNext(*other->client, Joined(newcomer));
            }
        }
        return newcomer;
    }

    // Closes member's connection; every joined member is told that it left.
    void Leave(Member& member) {
        member.client->Close();
        member.open = false;
        ExpectLeft(member);
    }

    // Expects every open joined member to be told that member left.
    void ExpectLeft(const Member& member) {
        for (auto& other : mMembers) {
            if (other.get() != &member && other->open && other->joined) {
                ExpectNext(*other->client, RelayWire::Message(RelayWire::UserLeft, member.id));
            }
        }
    }

    // The notice about member that other connections receive.
    static std::string Joined(const Member& member) {
        return RelayWire::Message(RelayWire::UserJoined, member.id,
                                  RelayWire::Text(member.joined ? member.name : "") +
                                      RelayWire::U8(member.joined ? member.group : 2));
    }

  private:
    uint16_t mPort;
    std::vector<std::unique_ptr<Member>> mMembers;
};

}  // namespace TestSupport
