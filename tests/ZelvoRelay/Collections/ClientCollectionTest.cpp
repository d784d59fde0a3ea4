#include "ZelvoRelay/Collections/ClientCollection.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include "System/IO/MemoryStream.h"
#include "System/Net/IPAddress.h"
#include "System/Net/IPEndPoint.h"
#include "System/Net/Socket.h"
#include "System/Singleton.h"
#include "System/SmartPointer.h"
#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/MVC/Model/NetMessageModel.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

using ZelvoRelay::Client::RelayClient;
using ZelvoRelay::Collections::ClientCollection;

// The room's places are counted from the joined clients alone: a client counts from its join
// until it is removed, whichever way it goes, and a client that never joined never counts.
TEST(ClientCollection, CountsTheJoinedUntilTheyAreRemovedOrCleared) {
    RelayClient first;
    RelayClient second;
    RelayClient third;
    first.GetUserModel().ClientId = 1;
    second.GetUserModel().ClientId = 2;
    third.GetUserModel().ClientId = 3;
    ClientCollection clients;
    clients.Add(first);
    clients.Add(second);
    clients.Add(third);
    EXPECT_EQ(clients.NumJoined(), 0u);
    clients.Join(first);
    clients.Join(third);
    EXPECT_EQ(clients.NumJoined(), 2u);
    EXPECT_TRUE(clients.Remove(second));
    EXPECT_EQ(clients.NumJoined(), 2u);
    EXPECT_TRUE(clients.Remove(first));
    EXPECT_EQ(clients.NumJoined(), 1u);
    clients.Clear();
    EXPECT_EQ(clients.NumJoined(), 0u);
    EXPECT_EQ(clients.Count(), 0u);
}

namespace {

using ZelvoRelay::MVC::Model::ZelvoRelayModel;

// Relay clients over socket pairs, connected from the addresses given, held in the relay
// model's collection as the server holds them; the test keeps the peers' ends, unread.
class ClientCollectionShareTest : public ::testing::Test {
  protected:
    void TearDown() override {
        ZelvoRelayModel::Instance()->Clients.mValue.Clear();
        mClients.clear();
        for (const int peer : mPeers) {
            close(peer);
        }
        System::Singleton<ZelvoRelayModel>::Destroy();
    }

    // A client that has not joined, connected from address, added to the model's clients.
    RelayClient& Connect(const char* address) {
        int pair[2];
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
        mPeers.push_back(pair[1]);
        const System::Net::IPEndPoint from(System::Net::IPAddress::Parse(address), 4000);
        mClients.push_back(std::make_unique<RelayClient>(
            System::Net::Client(System::Net::Socket(pair[0], true), from),
            static_cast<uint32_t>(mClients.size() + 1)));
        ZelvoRelayModel::Instance()->Clients.mValue.Add(*mClients.back());
        return *mClients.back();
    }

    // Queues mebibytes frames of one mebibyte each for client, as the relay does.
    void Queue(RelayClient& client, uint32_t mebibytes) {
        for (uint32_t i = 0; i < mebibytes; ++i) {
            client.Enqueue(mFrame);
        }
    }

    // Whether the client's worker closes the client on its next send.
    static bool ClosedOnSend(RelayClient& client) {
        client.Send();
        return !client.IsConnected();
    }

    ZelvoRelay::MVC::Model::NetMessageModel mFrame{Frame()};

  private:
    static ZelvoRelay::MVC::Model::NetMessageModel Frame() {
        ZelvoRelay::MVC::Model::NetMessageModel frame;
        frame.Frame =
            System::SmartPointer<System::IO::MemoryStream>(new System::IO::MemoryStream(1 << 20));
        const std::vector<unsigned char> bytes(1u << 20, 'v');
        frame.Frame->Write(bytes.data(), 0, static_cast<int>(bytes.size()));
        return frame;
    }

    std::vector<std::unique_ptr<RelayClient>> mClients;
    std::vector<int> mPeers;
};

// Connections of one address that never join and read nothing share one member's queue
// limit: once their unsent bytes together pass it, the one holding the most is closed as a
// slow reader, its bytes given back at once, so that the others may queue up to the limit
// again. Neither a member of the room from that address nor a connection of another address
// is closed for it, however much they hold.
TEST_F(ClientCollectionShareTest, PastItsAddressShareTheUnjoinedHoldingTheMostIsClosed) {
    RelayClient& small = Connect("10.0.0.1");
    RelayClient& large = Connect("10.0.0.1");
    RelayClient& member = Connect("10.0.0.1");
    RelayClient& other = Connect("10.0.0.2");
    ZelvoRelayModel::Instance()->Clients.mValue.Join(member);
    Queue(member, 12);
    Queue(other, 15);
    Queue(small, 5);
    Queue(large, 9);
    EXPECT_EQ(small.GetSharedBytes() + large.GetSharedBytes(),
              14 * ((1u << 20) + RelayClient::kQueuedFrameCost));
    EXPECT_EQ(member.GetSharedBytes(), 0u);

    Queue(small, 3);
    EXPECT_EQ(large.GetSharedBytes(), 0u);
    // The share has room for small alone up to the limit.
    Queue(small, 7);

    EXPECT_TRUE(ClosedOnSend(large));
    EXPECT_FALSE(ClosedOnSend(small));
    EXPECT_FALSE(ClosedOnSend(member));
    EXPECT_FALSE(ClosedOnSend(other));
}

// An address whose connections that have not joined hold nothing to send, or that has
// none, has no connection closed for its share.
TEST_F(ClientCollectionShareTest, AnAddressHoldingNothingHasNoConnectionClosed) {
    RelayClient& idle = Connect("10.0.0.1");
    RelayClient& member = Connect("10.0.0.2");
    ZelvoRelayModel::Instance()->Clients.mValue.Join(member);
    Queue(member, 1);
    ZelvoRelayModel::Instance()->Clients.mValue.CloseMostQueuedUnjoined(
        System::Net::IPAddress::Parse("10.0.0.1"));
    ZelvoRelayModel::Instance()->Clients.mValue.CloseMostQueuedUnjoined(
        System::Net::IPAddress::Parse("10.0.0.2"));
    EXPECT_FALSE(ClosedOnSend(idle));
    EXPECT_FALSE(ClosedOnSend(member));
}

}  // namespace
