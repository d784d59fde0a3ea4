#include "System/Net/Server.h"

#include "EventRecorders.h"
#include "System/Net/Net.h"
#include "support/Process.h"
#include "support/RawSocket.h"
#include "support/ThreadsCannotStart.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using NetTest::ClientLog;
using NetTest::EventLog;
using NetTest::LocalPort;
using NetTest::LoopbackPort;
using System::String;
using System::Net::Client;
using System::Net::IPEndPoint;
using System::Net::Server;
using TestSupport::RawSocket;
using TestSupport::WaitUntil;

using Names = std::vector<std::string>;

// Everything a Server reports. Accepted connections are closed at once unless the
// test keeps them; datagrams are kept with their senders.
class ServerLog : public EventLog {
  public:
    explicit ServerLog(Server& server) {
        mEvents.Add(server.OnHost, this, &ServerLog::OnHost);
        mEvents.Add(server.OnHostFailed, this, &ServerLog::OnHostFailed);
        mEvents.Add(server.OnClientConnect, this, &ServerLog::OnClientConnect);
        mEvents.Add(server.OnHostStopped, this, &ServerLog::OnHostStopped);
        mEvents.Add(server.OnReceiveMessage, this, &ServerLog::OnReceiveMessage);
    }

    void OnHost(Server*) { Record("host"); }
    void OnHostFailed(Server*, const String& error) {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mError = error.CStr();
        }
        Record("failed");
    }
    void OnClientConnect(Server* server, Client& connection) {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mPeerPorts.insert(ntohs(connection.GetEndPoint().GetPort()));
        }
        if (mKeep) {
            Keep(connection);
        } else {
            connection.Disconnect(false);
        }
        // Recorded after Keep, so that a test that has seen it may use the kept copy.
        Record("client");
        if (mStopOnConnect) {
            server->Disconnect();
        }
    }
    void OnHostStopped(Server*) { Record("stopped"); }
    void OnReceiveMessage(Server*, char* buffer, int n, const IPEndPoint& from) {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mDatagrams.push_back(n < 0 ? std::string("<failed>")
                                       : std::string(buffer, static_cast<size_t>(n)));
            mSenders.push_back(from);
        }
        Record("datagram");
    }

    // Copies the connection, answers on it, and starts its own receive loop, which
    // echoes what it receives.
    void Keep(Client& connection) {
        std::lock_guard<std::mutex> lock(mMutex);
        mKept = std::make_unique<Client>(connection);
        mKeptLog = std::make_unique<ClientLog>(*mKept);
        mKeptEvents.Add(mKept->OnReceiveMessage, this, &ServerLog::Echo);
        mKept->Send("welcome", 0, 7);
        mKept->Start();
    }
    void Echo(Client* client, char* buffer, int n) {
        const std::string reply = "echo:" + std::string(buffer, static_cast<size_t>(n));
        client->Send(reply.data(), 0, static_cast<uint32_t>(reply.size()));
    }

    std::string Error() const {
        std::lock_guard<std::mutex> lock(mMutex);
        return mError;
    }
    std::set<uint16_t> PeerPorts() const {
        std::lock_guard<std::mutex> lock(mMutex);
        return mPeerPorts;
    }
    std::vector<std::string> Datagrams() const {
        std::lock_guard<std::mutex> lock(mMutex);
        return mDatagrams;
    }
    std::vector<IPEndPoint> Senders() const {
        std::lock_guard<std::mutex> lock(mMutex);
        return mSenders;
    }

    bool mKeep{false};
    bool mStopOnConnect{false};
    std::unique_ptr<Client> mKept;
    std::unique_ptr<ClientLog> mKeptLog;

  private:
    System::EventManager mKeptEvents;
    System::EventManager mEvents;
    std::string mError;
    std::set<uint16_t> mPeerPorts;
    std::vector<std::string> mDatagrams;
    std::vector<IPEndPoint> mSenders;
};

std::string PortText(uint16_t port) {
    return std::to_string(port) + "\n";
}

TEST(ServerThreads, ReportsEveryConnectionOnItsOwnThread) {
    Server server(Server::TCP);
    ServerLog log(server);
    server.Host(LoopbackPort(0));
    ASSERT_TRUE(server.IsHosting());
    EXPECT_EQ(log.ThreadOf("host"), std::this_thread::get_id());
    const uint16_t port = LocalPort(*server.GetSocket());

    const auto peers = TestSupport::RunPython(
        "import socket, sys\n"
        "port = int(sys.stdin.read())\n"
        "for _ in range(5):\n"
        "    c = socket.create_connection(('127.0.0.1', port))\n"
        "    print(c.getsockname()[1])\n"
        "    c.close()\n",
        PortText(port));
    ASSERT_EQ(peers.exitCode, 0);
    std::set<uint16_t> expected;
    std::istringstream lines(peers.output);
    for (int peerPort = 0; lines >> peerPort;) {
        expected.insert(static_cast<uint16_t>(peerPort));
    }
    ASSERT_EQ(expected.size(), 5u);

    ASSERT_TRUE(WaitUntil([&] { return log.Count("client") == 5; }));
    EXPECT_EQ(log.PeerPorts(), expected);
    EXPECT_NE(log.ThreadOf("client"), std::this_thread::get_id());

    server.Disconnect();
    EXPECT_FALSE(server.IsHosting());
    EXPECT_EQ(server.GetThreadState(), 0);
    EXPECT_EQ(log.Count("stopped"), 1);
    EXPECT_EQ(log.ThreadOf("stopped"), log.ThreadOf("client"));
    EXPECT_EQ(log.Names().front(), "host");
    EXPECT_EQ(log.Names().back(), "stopped");
}

TEST(ServerThreads, ReportsEveryDatagramWithItsSenderInNetworkOrder) {
    Server server(Server::UDP);
    ServerLog log(server);
    server.Host(LoopbackPort(0));
    ASSERT_TRUE(server.IsHosting());
    const uint16_t port = LocalPort(*server.GetSocket());

    const auto sender = TestSupport::RunPython(
        "import socket, sys\n"
        "port = int(sys.stdin.read())\n"
        "u = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)\n"
        "u.bind(('127.0.0.1', 0))\n"
        "for d in (b'abc', b'', bytes(range(256)) * 20):\n"
        "    u.sendto(d, ('127.0.0.1', port))\n"
        "print(u.getsockname()[1])\n",
        PortText(port));
    ASSERT_EQ(sender.exitCode, 0);
    const auto senderPort = static_cast<uint16_t>(std::stoi(sender.output));

    ASSERT_TRUE(WaitUntil([&] { return log.Count("datagram") == 3; }));
    std::string largest;
    for (int i = 0; i < 20; ++i) {
        for (int c = 0; c < 256; ++c) {
            largest += static_cast<char>(c);
        }
    }
    // The loop's buffer holds 4096 bytes: a longer datagram is cut there.
    EXPECT_EQ(log.Datagrams(), (Names{"abc", "", largest.substr(0, Server::kReceiveSize)}));
    for (const IPEndPoint& from : log.Senders()) {
        EXPECT_EQ(from.GetPort(), htons(senderPort));
        EXPECT_EQ(from.GetAddress().GetAddress(), htonl(INADDR_LOOPBACK));
    }
    EXPECT_NE(log.ThreadOf("datagram"), std::this_thread::get_id());

    const RawSocket receiver = RawSocket::Datagram();
    EXPECT_EQ(server.Send("reply", 0, 5, LoopbackPort(receiver.Port())), 5);
    EXPECT_EQ(receiver.Receive(5), "reply");

    server.Disconnect();
    EXPECT_EQ(log.Count("stopped"), 1);
    EXPECT_EQ(log.Count("datagram"), 3);
}

TEST(ServerThreads, HostingAPortAlreadyHeldFailsAndMayBeTriedAgain) {
    Server server(Server::TCP);
    ServerLog log(server);
    const RawSocket holder = RawSocket::Listen();
    server.Host(LoopbackPort(holder.Port()));
    EXPECT_EQ(log.Names(), (Names{"failed"}));
    EXPECT_EQ(log.ThreadOf("failed"), std::this_thread::get_id());
    EXPECT_EQ(log.Error(), "Address already in use");
    EXPECT_FALSE(server.IsHosting());
    EXPECT_EQ(server.GetThreadState(), 0);
    EXPECT_EQ(server.GetSocket()->GetSocket(), -1);

    server.Host(LoopbackPort(0));
    EXPECT_TRUE(server.IsHosting());
    server.Disconnect();
    EXPECT_EQ(log.Names(), (Names{"failed", "host", "stopped"}));
}

TEST(ServerThreads, DisconnectReturnsWhileTheAcceptLoopIsBlocked) {
    Server server(Server::TCP);
    ServerLog log(server);
    server.Host(LoopbackPort(0));
    const uint16_t port = LocalPort(*server.GetSocket());
    { const RawSocket peer = RawSocket::Connect(port); }
    // Past its first connection the loop is back in accept, with nothing to come.
    ASSERT_TRUE(WaitUntil([&] { return log.Count("client") == 1; }));

    server.Disconnect();
    EXPECT_EQ(server.GetThreadState(), 0);
    EXPECT_EQ(log.Count("stopped"), 1);
    EXPECT_FALSE(server.IsHosting());
    System::Net::Socket late(System::Net::Server::CreateSocket(Server::TCP));
    EXPECT_FALSE(late.Open(LoopbackPort(port)));
    EXPECT_EQ(System::Net::Net::GetError(), String("Connection refused"));
    late.Close();
}

TEST(ServerThreads, DisconnectFromAnEventHandlerEndsTheLoop) {
    Server server(Server::TCP);
    ServerLog log(server);
    log.mStopOnConnect = true;
    server.Host(LoopbackPort(0));
    { const RawSocket peer = RawSocket::Connect(LocalPort(*server.GetSocket())); }
    ASSERT_TRUE(WaitUntil([&] { return log.Count("stopped") == 1; }));
    EXPECT_FALSE(server.IsHosting());
    server.Disconnect();
    EXPECT_EQ(log.Names(), (Names{"host", "client", "stopped"}));
}

TEST(ServerThreads, ARestartBindsTheSamePortAtOnceAfterConnectionsWereOpen) {
    Server server(Server::TCP);
    ServerLog log(server);
    server.Host(LoopbackPort(0));
    const uint16_t port = LocalPort(*server.GetSocket());
    // The server closes first, which leaves its side of each connection in TIME_WAIT.
    const auto peers = TestSupport::RunPython(
        "import socket, sys\n"
        "port = int(sys.stdin.read())\n"
        "for _ in range(3):\n"
        "    c = socket.create_connection(('127.0.0.1', port))\n"
        "    print(len(c.recv(10)))\n"
        "    c.close()\n",
        PortText(port));
    ASSERT_EQ(peers.exitCode, 0);
    EXPECT_EQ(peers.output, "0\n0\n0\n");
    server.Disconnect();

    server.Host(LoopbackPort(port));
    EXPECT_TRUE(server.IsHosting());
    EXPECT_EQ(log.Error(), "");
    EXPECT_EQ(LocalPort(*server.GetSocket()), port);
    server.Disconnect();
    EXPECT_EQ(log.Count("host"), 2);
    EXPECT_EQ(log.Count("stopped"), 2);
}

TEST(ServerThreads, AConnectionCopiedInTheHandlerKeepsWorking) {
    Server server(Server::TCP);
    ServerLog log(server);
    log.mKeep = true;
    server.Host(LoopbackPort(0));
    const auto peer = TestSupport::RunPython(
        "import socket, sys\n"
        "c = socket.create_connection(('127.0.0.1', int(sys.stdin.read())))\n"
        "print(c.recv(7).decode())\n"
        "c.sendall(b'ping')\n"
        "print(c.recv(9).decode())\n"
        "c.close()\n",
        PortText(LocalPort(*server.GetSocket())));
    ASSERT_EQ(peer.exitCode, 0);
    EXPECT_EQ(peer.output, "welcome\necho:ping\n");
    ASSERT_TRUE(WaitUntil([&] { return log.Count("client") == 1; }));
    ASSERT_TRUE(WaitUntil([&] { return log.mKeptLog->Count("disconnect") == 1; }));
    EXPECT_EQ(log.mKeptLog->Received(), "ping");
    server.Disconnect();
    log.mKept->Disconnect(true);
}

TEST(ServerThreads, HostReportsAThreadThatCannotStart) {
    Server server(Server::TCP);
    ServerLog log(server);
    {
        TestSupport::ThreadsCannotStart noThreads;
        server.Host(LoopbackPort(0));
    }
    EXPECT_EQ(log.Names(), (Names{"failed"}));
    EXPECT_FALSE(server.IsHosting());
    EXPECT_EQ(server.GetSocket()->GetSocket(), -1);
}

}  // namespace
