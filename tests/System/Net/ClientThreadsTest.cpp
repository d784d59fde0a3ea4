#include "System/Net/Client.h"

#include "EventRecorders.h"
#include "support/RawSocket.h"
#include "support/ThreadsCannotStart.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace System::Net {
namespace {

using NetTest::ClientLog;
using NetTest::LoopbackPort;
using TestSupport::RawSocket;
using TestSupport::WaitUntil;

using Names = std::vector<std::string>;

// A client of a listener of our own, with every event it reports logged.
class ClientThreads : public ::testing::Test {
  protected:
    // Connects, accepts the connection as mPeer and waits for the connect event.
    void Connect() {
        ASSERT_TRUE(mClient.Connect(LoopbackPort(mListener.Port())));
        mPeer = mListener.Accept();
        ASSERT_TRUE(WaitUntil([&] { return mLog.Count("connect") == 1; }));
    }

    const RawSocket mListener = RawSocket::Listen();
    Client mClient{Client::TCP};
    ClientLog mLog{mClient};
    RawSocket mPeer;
};

TEST_F(ClientThreads, ReceivesEverythingAndReportsThePeerClosingOnItsOwnThread) {
    Connect();
    EXPECT_TRUE(mClient.IsConnected());
    EXPECT_EQ(mClient.GetEndPoint().GetPort(), LoopbackPort(mListener.Port()).GetPort());

    EXPECT_EQ(mClient.Send("-ping", 1, 4), 4);
    EXPECT_EQ(mPeer.Receive(4), "ping");
    EXPECT_EQ(mLog.ThreadOf("send"), std::this_thread::get_id());
    EXPECT_EQ(mLog.Get(mLog.mSendResult), 4);

    std::string bytes(10000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 7 + i / 256);
    }
    mPeer.SendAll(bytes);
    mPeer.Close();
    ASSERT_TRUE(WaitUntil([&] { return mLog.Count("disconnect") == 1; }));
    EXPECT_EQ(mLog.Get(mLog.mReceived), bytes);
    EXPECT_FALSE(mClient.IsConnected());
    EXPECT_EQ(mLog.Names(), (Names{"connecting", "connect", "send", "disconnect"}));

    const std::thread::id own = mLog.ThreadOf("connecting");
    EXPECT_NE(own, std::this_thread::get_id());
    EXPECT_EQ(mLog.ThreadOf("connect"), own);
    EXPECT_EQ(mLog.Get(mLog.mReceiveThread), own);
    EXPECT_EQ(mLog.ThreadOf("disconnect"), own);
    mClient.Disconnect(true);
    EXPECT_EQ(mLog.Count("disconnect"), 1);
}

TEST_F(ClientThreads, ConnectingToAClosedPortFailsWithConnectionRefused) {
    ASSERT_TRUE(mClient.Connect(LoopbackPort(TestSupport::FreePort())));
    ASSERT_TRUE(WaitUntil([&] { return mClient.GetThreadState() == 0; }));
    mClient.Disconnect(true);
    // The text is read before the socket is closed, whose calls would turn every
    // failure into "Socket is not connected".
    EXPECT_EQ(mLog.Get(mLog.mError), "Connection refused");
    EXPECT_EQ(mLog.Names(), (Names{"connecting", "failed"}));
    EXPECT_FALSE(mClient.IsConnected());
}

TEST_F(ClientThreads, DisconnectWakesAThreadBlockedInReceiveAndWaitsForIt) {
    Connect();
    mClient.Disconnect(false);
    EXPECT_EQ(mClient.GetThreadState(), 0);
    EXPECT_FALSE(mClient.IsConnected());
    EXPECT_EQ(mClient.GetSocket()->GetSocket(), -1);
    EXPECT_EQ(mLog.Names(), (Names{"connecting", "connect", "disconnect"}));
    EXPECT_EQ(mPeer.ReceiveAll(), "");
}

TEST_F(ClientThreads, ConnectAgainServesANewConnection) {
    Connect();
    mPeer.SendAll("one");
    ASSERT_TRUE(WaitUntil([&] { return mLog.Get(mLog.mReceived) == "one"; }));

    ASSERT_TRUE(mClient.Connect(LoopbackPort(mListener.Port())));
    EXPECT_EQ(mPeer.ReceiveAll(), "");
    RawSocket second = mListener.Accept();
    second.SendAll("two");
    ASSERT_TRUE(WaitUntil([&] { return mLog.Get(mLog.mReceived) == "onetwo"; }));
    second.Close();
    ASSERT_TRUE(WaitUntil([&] { return mLog.Count("disconnect") == 2; }));
    mClient.Disconnect(true);
    EXPECT_EQ(mLog.Names(), (Names{"connecting", "connect", "disconnect", "connecting", "connect",
                                   "disconnect"}));
}

TEST_F(ClientThreads, DisconnectFromAnEventHandlerEndsTheLoopAfterIt) {
    // Closes the connection from its own thread on the first bytes received.
    struct Closer {
        void OnReceiveMessage(Client* client, char*, int) { client->Disconnect(true); }
    } closer;
    EventManager events;
    events.Add(mClient.OnReceiveMessage, &closer, &Closer::OnReceiveMessage);
    Connect();
    mPeer.SendAll("bye");
    EXPECT_EQ(mPeer.ReceiveAll(), "");
    ASSERT_TRUE(WaitUntil([&] { return mLog.Count("disconnect") == 1; }));
    mClient.Disconnect(true);
    EXPECT_EQ(mLog.Names(), (Names{"connecting", "connect", "disconnect"}));
}

TEST_F(ClientThreads, ConnectAnswersFalseWhenItsThreadCannotStart) {
    {
        TestSupport::ThreadsCannotStart noThreads;
        EXPECT_FALSE(mClient.Connect(LoopbackPort(mListener.Port())));
    }
    EXPECT_EQ(mClient.GetThreadState(), 0);
    EXPECT_EQ(mClient.GetSocket()->GetSocket(), -1);
    EXPECT_TRUE(mLog.Names().empty());
}

TEST(ClientLifetimeThreads, DestroyingAConnectedClientEndsItsThread) {
    const RawSocket listener = RawSocket::Listen();
    auto client = std::make_unique<Client>(Client::TCP);
    struct Flag {
        void OnConnect(Client*) { connected = true; }
        std::atomic<bool> connected{false};
    } flag;
    EventManager events;
    events.Add(client->OnConnect, &flag, &Flag::OnConnect);
    ASSERT_TRUE(client->Connect(LoopbackPort(listener.Port())));
    const RawSocket peer = listener.Accept();
    ASSERT_TRUE(WaitUntil([&] { return flag.connected.load(); }));
    client.reset();
    EXPECT_EQ(peer.ReceiveAll(), "");
}

}  // namespace
}  // namespace System::Net
