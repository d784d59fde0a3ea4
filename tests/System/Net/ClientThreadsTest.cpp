#include "System/Net/Client.h"

#include "EventRecorders.h"
#include "support/RawSocket.h"
#include "support/ThreadsCannotStart.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using NetTest::ClientLog;
using NetTest::LoopbackPort;
using System::Net::Client;
using TestSupport::RawSocket;
using TestSupport::WaitUntil;

using Names = std::vector<std::string>;

std::string Pattern(size_t n) {
    std::string bytes(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        bytes[i] = static_cast<char>(i * 7 + i / 256);
    }
    return bytes;
}

TEST(ClientThreads, ReceivesEverythingAndReportsThePeerClosingOnItsOwnThread) {
    const RawSocket listener = RawSocket::Listen();
    Client client(Client::TCP);
    ClientLog log(client);
    ASSERT_TRUE(client.Connect(LoopbackPort(listener.Port())));
    RawSocket peer = listener.Accept();
    ASSERT_TRUE(WaitUntil([&] { return log.Count("connect") == 1; }));
    EXPECT_TRUE(client.IsConnected());
    EXPECT_EQ(client.GetEndPoint().GetPort(), LoopbackPort(listener.Port()).GetPort());

    EXPECT_EQ(client.Send("-ping", 1, 4), 4);
    EXPECT_EQ(peer.Receive(4), "ping");
    EXPECT_EQ(log.ThreadOf("send"), std::this_thread::get_id());
    EXPECT_EQ(log.SendResult(), 4);

    const std::string bytes = Pattern(10000);
    peer.SendAll(bytes);
    peer.Close();
    ASSERT_TRUE(WaitUntil([&] { return log.Count("disconnect") == 1; }));
    EXPECT_EQ(log.Received(), bytes);
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(log.Names(), (Names{"connecting", "connect", "send", "disconnect"}));

    const std::thread::id own = log.ThreadOf("connecting");
    EXPECT_NE(own, std::this_thread::get_id());
    EXPECT_EQ(log.ThreadOf("connect"), own);
    EXPECT_EQ(log.ReceiveThread(), own);
    EXPECT_EQ(log.ThreadOf("disconnect"), own);
    client.Disconnect(true);
    EXPECT_EQ(log.Count("disconnect"), 1);
}

TEST(ClientThreads, ConnectingToAClosedPortFailsWithConnectionRefused) {
    Client client(Client::TCP);
    ClientLog log(client);
    ASSERT_TRUE(client.Connect(LoopbackPort(RawSocket::FreePort())));
    ASSERT_TRUE(WaitUntil([&] { return client.GetThreadState() == 0; }));
    client.Disconnect(true);
    // The text is read before the socket is closed, whose calls would turn every
    // failure into "Socket is not connected".
    EXPECT_EQ(log.Error(), "Connection refused");
    EXPECT_EQ(log.Names(), (Names{"connecting", "failed"}));
    EXPECT_FALSE(client.IsConnected());
}

TEST(ClientThreads, DisconnectWakesAThreadBlockedInReceiveAndWaitsForIt) {
    const RawSocket listener = RawSocket::Listen();
    Client client(Client::TCP);
    ClientLog log(client);
    ASSERT_TRUE(client.Connect(LoopbackPort(listener.Port())));
    const RawSocket peer = listener.Accept();
    ASSERT_TRUE(WaitUntil([&] { return log.Count("connect") == 1; }));

    client.Disconnect(false);
    EXPECT_EQ(client.GetThreadState(), 0);
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(client.GetSocket()->GetSocket(), -1);
    EXPECT_EQ(log.Names(), (Names{"connecting", "connect", "disconnect"}));
    EXPECT_EQ(peer.ReceiveAll(), "");
}

TEST(ClientThreads, ConnectAgainServesANewConnection) {
    const RawSocket listener = RawSocket::Listen();
    Client client(Client::TCP);
    ClientLog log(client);
    ASSERT_TRUE(client.Connect(LoopbackPort(listener.Port())));
    RawSocket first = listener.Accept();
    first.SendAll("one");
    ASSERT_TRUE(WaitUntil([&] { return log.Received() == "one"; }));

    ASSERT_TRUE(client.Connect(LoopbackPort(listener.Port())));
    EXPECT_EQ(first.ReceiveAll(), "");
    RawSocket second = listener.Accept();
    second.SendAll("two");
    ASSERT_TRUE(WaitUntil([&] { return log.Received() == "onetwo"; }));
    second.Close();
    ASSERT_TRUE(WaitUntil([&] { return log.Count("disconnect") == 2; }));
    client.Disconnect(true);
    EXPECT_EQ(log.Names(), (Names{"connecting", "connect", "disconnect", "connecting", "connect",
                                  "disconnect"}));
}

TEST(ClientThreads, DisconnectFromAnEventHandlerEndsTheLoopAfterIt) {
    // Closes the connection from its own thread on the first bytes received.
    class Closer {
      public:
        void OnReceiveMessage(Client* client, char*, int) { client->Disconnect(true); }
    };
    const RawSocket listener = RawSocket::Listen();
    Client client(Client::TCP);
    ClientLog log(client);
    Closer closer;
    System::EventManager events;
    events.Add(client.OnReceiveMessage, &closer, &Closer::OnReceiveMessage);
    ASSERT_TRUE(client.Connect(LoopbackPort(listener.Port())));
    const RawSocket peer = listener.Accept();
    peer.SendAll("bye");
    EXPECT_EQ(peer.ReceiveAll(), "");
    ASSERT_TRUE(WaitUntil([&] { return log.Count("disconnect") == 1; }));
    client.Disconnect(true);
    EXPECT_EQ(log.Names(), (Names{"connecting", "connect", "disconnect"}));
}

TEST(ClientThreads, DestroyingAConnectedClientEndsItsThread) {
    const RawSocket listener = RawSocket::Listen();
    auto client = std::make_unique<Client>(Client::TCP);
    std::atomic<bool> connected{false};
    class Flag {
      public:
        explicit Flag(std::atomic<bool>& flag) : mFlag(flag) {}
        void OnConnect(Client*) { mFlag = true; }
        std::atomic<bool>& mFlag;
    } flag(connected);
    System::EventManager events;
    events.Add(client->OnConnect, &flag, &Flag::OnConnect);
    ASSERT_TRUE(client->Connect(LoopbackPort(listener.Port())));
    const RawSocket peer = listener.Accept();
    ASSERT_TRUE(WaitUntil([&] { return connected.load(); }));
    client.reset();
    EXPECT_EQ(peer.ReceiveAll(), "");
}

TEST(ClientThreads, ConnectAnswersFalseWhenItsThreadCannotStart) {
    const RawSocket listener = RawSocket::Listen();
    Client client(Client::TCP);
    ClientLog log(client);
    {
        TestSupport::ThreadsCannotStart noThreads;
        EXPECT_FALSE(client.Connect(LoopbackPort(listener.Port())));
    }
    EXPECT_EQ(client.GetThreadState(), 0);
    EXPECT_EQ(client.GetSocket()->GetSocket(), -1);
    EXPECT_TRUE(log.Names().empty());
}

}  // namespace
