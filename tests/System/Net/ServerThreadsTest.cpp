#include "System/Net/Server.h"

#include "EventRecorders.h"
#include "System/Net/Net.h"
#include "support/ListenQueue.h"
#include "support/Process.h"
#include "support/RawClient.h"
#include "support/RawSocket.h"
#include "support/ThreadsCannotStart.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <future>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace System::Net {
namespace {

using NetTest::ClientLog;
using NetTest::EventLog;
using NetTest::LocalPort;
using NetTest::LoopbackPort;
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
        Set(mError, std::string(error.CStr()));
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

    bool mKeep{false};
    bool mStopOnConnect{false};
    std::unique_ptr<Client> mKept;
    std::unique_ptr<ClientLog> mKeptLog;
    std::string mError;
    std::set<uint16_t> mPeerPorts;
    std::vector<std::string> mDatagrams;
    std::vector<IPEndPoint> mSenders;

  private:
    EventManager mKeptEvents;
    EventManager mEvents;
};

// A TCP server with its events logged; Host hosts it on a free loopback port.
class ServerThreads : public ::testing::Test {
  protected:
    void Host() {
        mServer.Host(LoopbackPort(0));
        ASSERT_TRUE(mServer.IsHosting());
        mPort = LocalPort(*mServer.GetSocket());
    }
    // The lines python peers print: body follows a line that reads the server's port.
    std::vector<std::string> RunPeers(const std::string& body) const {
        return TestSupport::PythonLines("import socket, sys\nport = int(sys.stdin.read())\n" + body,
                                        std::to_string(mPort) + "\n");
    }

    Server mServer{Server::TCP};
    ServerLog mLog{mServer};
    uint16_t mPort{0};
};

TEST_F(ServerThreads, ReportsEveryConnectionOnItsOwnThread) {
    Host();
    EXPECT_EQ(mLog.ThreadOf("host"), std::this_thread::get_id());
    const auto peers = RunPeers(
        "for _ in range(5):\n"
        "    c = socket.create_connection(('127.0.0.1', port))\n"
        "    print(c.getsockname()[1])\n"
        "    c.close()\n");
    std::set<uint16_t> expected;
    for (const std::string& port : peers) {
        expected.insert(static_cast<uint16_t>(std::stoi(port)));
    }
    ASSERT_EQ(expected.size(), 5u);

    ASSERT_TRUE(WaitUntil([&] { return mLog.Count("client") == 5; }));
    EXPECT_EQ(mLog.Get(mLog.mPeerPorts), expected);
    EXPECT_NE(mLog.ThreadOf("client"), std::this_thread::get_id());

    // Past its last connection the loop is back in accept, with nothing to come.
    mServer.Disconnect();
    EXPECT_FALSE(mServer.IsHosting());
    EXPECT_EQ(mServer.GetThreadState(), 0);
    EXPECT_EQ(mLog.Count("stopped"), 1);
    EXPECT_EQ(mLog.ThreadOf("stopped"), mLog.ThreadOf("client"));
    Socket late(Server::CreateSocket(Server::TCP));
    EXPECT_FALSE(late.Open(LoopbackPort(mPort)));
    EXPECT_EQ(Net::GetError(), String("Connection refused"));
    late.Close();
    EXPECT_EQ(mLog.Names().front(), "host");
    EXPECT_EQ(mLog.Names().back(), "stopped");
}

TEST(DatagramServerThreads, ReportsEveryDatagramWithItsSenderInNetworkOrder) {
    Server server(Server::UDP);
    ServerLog log(server);
    server.Host(LoopbackPort(0));
    ASSERT_TRUE(server.IsHosting());
    const auto sender = TestSupport::PythonLines(
        "import socket, sys\n"
        "port = int(sys.stdin.read())\n"
        "u = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)\n"
        "u.bind(('127.0.0.1', 0))\n"
        "for d in (b'abc', b'', bytes(range(256)) * 20):\n"
        "    u.sendto(d, ('127.0.0.1', port))\n"
        "print(u.getsockname()[1])\n",
        std::to_string(LocalPort(*server.GetSocket())) + "\n");
    ASSERT_EQ(sender.size(), 1u);
    const auto senderPort = static_cast<uint16_t>(std::stoi(sender[0]));

    ASSERT_TRUE(WaitUntil([&] { return log.Count("datagram") == 3; }));
    std::string largest;
    for (uint32_t c = 0; c < Server::kReceiveSize; ++c) {
        largest += static_cast<char>(c);
    }
    // The loop's buffer holds 4096 bytes: a longer datagram is cut there.
    EXPECT_EQ(log.Get(log.mDatagrams), (Names{"abc", "", largest}));
    for (const IPEndPoint& from : log.Get(log.mSenders)) {
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

TEST_F(ServerThreads, HostingAPortAlreadyHeldFailsAndMayBeTriedAgain) {
    const RawSocket holder = RawSocket::Listen();
    mServer.Host(LoopbackPort(holder.Port()));
    EXPECT_EQ(mLog.Names(), (Names{"failed"}));
    EXPECT_EQ(mLog.ThreadOf("failed"), std::this_thread::get_id());
    EXPECT_EQ(mLog.Get(mLog.mError), "Address already in use");
    EXPECT_FALSE(mServer.IsHosting());
    EXPECT_EQ(mServer.GetThreadState(), 0);
    EXPECT_EQ(mServer.GetSocket()->GetSocket(), -1);

    Host();
    mServer.Disconnect();
    EXPECT_EQ(mLog.Names(), (Names{"failed", "host", "stopped"}));
}

TEST_F(ServerThreads, DisconnectFromAnEventHandlerEndsTheLoop) {
    mLog.mStopOnConnect = true;
    Host();
    { const TestSupport::RawClient peer(mPort); }
    ASSERT_TRUE(WaitUntil([&] { return mLog.Count("stopped") == 1; }));
    EXPECT_FALSE(mServer.IsHosting());
    mServer.Disconnect();
    EXPECT_EQ(mLog.Names(), (Names{"host", "client", "stopped"}));
}

TEST_F(ServerThreads, ARestartBindsTheSamePortAtOnceAfterConnectionsWereOpen) {
    Host();
    // The server closes first, which leaves its side of each connection in TIME_WAIT.
    const auto peers = RunPeers(
        "for _ in range(3):\n"
        "    c = socket.create_connection(('127.0.0.1', port))\n"
        "    print(len(c.recv(10)))\n"
        "    c.close()\n");
    EXPECT_EQ(peers, (Names{"0", "0", "0"}));
    mServer.Disconnect();

    mServer.Host(LoopbackPort(mPort));
    EXPECT_TRUE(mServer.IsHosting());
    EXPECT_EQ(mLog.Get(mLog.mError), "");
    EXPECT_EQ(LocalPort(*mServer.GetSocket()), mPort);
    mServer.Disconnect();
    EXPECT_EQ(mLog.Count("host"), 2);
    EXPECT_EQ(mLog.Count("stopped"), 2);
}

TEST_F(ServerThreads, AConnectionCopiedInTheHandlerKeepsWorking) {
    mLog.mKeep = true;
    Host();
    const auto peer = RunPeers(
        "c = socket.create_connection(('127.0.0.1', port))\n"
        "print(c.recv(7).decode())\n"
        "c.sendall(b'ping')\n"
        "print(c.recv(9).decode())\n"
        "c.close()\n");
    EXPECT_EQ(peer, (Names{"welcome", "echo:ping"}));
    ASSERT_TRUE(WaitUntil([&] { return mLog.Count("client") == 1; }));
    ASSERT_TRUE(WaitUntil([&] { return mLog.mKeptLog->Count("disconnect") == 1; }));
    EXPECT_EQ(mLog.mKeptLog->Get(mLog.mKeptLog->mReceived), "ping");
    mServer.Disconnect();
    mLog.mKept->Disconnect(true);
}

TEST_F(ServerThreads, HostReportsAThreadThatCannotStart) {
    {
        TestSupport::ThreadsCannotStart noThreads;
        mServer.Host(LoopbackPort(0));
    }
    EXPECT_EQ(mLog.Names(), (Names{"failed"}));
    EXPECT_FALSE(mServer.IsHosting());
    EXPECT_EQ(mServer.GetSocket()->GetSocket(), -1);
}

// The end point of every connection the server hands over. The first hand-over waits
// until Release, so that the connections made meanwhile wait in the listen queue.
class HeldAccepts {
  public:
    explicit HeldAccepts(Server& server) : mServer(server) {
        mEvents.Add(server.OnClientConnect, this, &HeldAccepts::OnClientConnect);
    }
    // Lets a held hand-over go on, and waits for the loop to end before the members go.
    ~HeldAccepts() {
        Release();
        mServer.Disconnect();
    }
    HeldAccepts(const HeldAccepts&) = delete;
    HeldAccepts& operator=(const HeldAccepts&) = delete;

    void OnClientConnect(Server*, Client& connection) {
        if (mReached++ == 0) {
            mReleased.wait();
        }
        std::lock_guard<std::mutex> lock(mMutex);
        mPeers.push_back(connection.GetEndPoint());
        connection.Disconnect(false);
    }

    void Release() {
        std::call_once(mReleaseOnce, [this] { mRelease.set_value(); });
    }
    // How many hand-overs have begun.
    int Reached() const { return mReached; }
    std::vector<IPEndPoint> Peers() {
        std::lock_guard<std::mutex> lock(mMutex);
        return mPeers;
    }

  private:
    Server& mServer;
    std::promise<void> mRelease;
    std::shared_future<void> mReleased{mRelease.get_future().share()};
    std::once_flag mReleaseOnce;
    std::atomic<int> mReached{0};
    std::mutex mMutex;  // guards mPeers
    std::vector<IPEndPoint> mPeers;
    EventManager mEvents;
};

// Whether the kernel's table of IPv4 TCP sockets holds one at the local port port with the
// peer port peerPort (host order). A connection reset while it waits to be accepted leaves it.
bool KernelHolds(uint16_t port, uint16_t peerPort) {
    const auto portOf = [](const std::string& address) {
        return std::stoul(address.substr(address.find(':') + 1), nullptr, 16);
    };
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);  // the headings
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot;
        std::string local;
        std::string remote;
        fields >> slot >> local >> remote;
        if (portOf(local) == port && portOf(remote) == peerPort) {
            return true;
        }
    }
    return false;
}

// A peer from 127.0.0.9 resets its connection before the server accepts it: the server still
// hands the connection over with that address and port, the ones accept gave. Asked of the
// connection afterwards, they were gone, and every such connection went under one made-up
// address whoever made it.
TEST_F(ServerThreads, AConnectionResetBeforeItIsAcceptedKeepsTheAddressAcceptGave) {
    HeldAccepts accepts(mServer);
    Host();
    const TestSupport::RawClient first(mPort);
    ASSERT_TRUE(WaitUntil([&] { return accepts.Reached() == 1; }));

    const int peer = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.9");
    ASSERT_EQ(bind(peer, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(mPort);
    ASSERT_EQ(connect(peer, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    sockaddr_in local{};
    socklen_t size = sizeof local;
    ASSERT_EQ(getsockname(peer, reinterpret_cast<sockaddr*>(&local), &size), 0);
    ASSERT_TRUE(WaitUntil([&] {
        const auto queue = TestSupport::ReadListenQueue(mPort);
        return queue && queue->waiting == 1;
    }));
    const linger reset{1, 0};
    ASSERT_EQ(setsockopt(peer, SOL_SOCKET, SO_LINGER, &reset, sizeof reset), 0);
    close(peer);
    ASSERT_TRUE(WaitUntil([&] { return !KernelHolds(mPort, ntohs(local.sin_port)); }));

    accepts.Release();
    ASSERT_TRUE(WaitUntil([&] { return accepts.Peers().size() == 2; }));
    const IPEndPoint accepted = accepts.Peers()[1];
    EXPECT_EQ(accepted.GetAddress().GetAddress(), local.sin_addr.s_addr);
    EXPECT_EQ(accepted.GetPort(), local.sin_port);
}

}  // namespace
}  // namespace System::Net
