#include "System/Net/Socket.h"

#include "EventRecorders.h"
#include "System/Net/Net.h"
#include "System/Net/SocketType.h"
#include "support/RawSocket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace System::Net {
namespace {

using NetTest::LocalPort;
using NetTest::LoopbackPort;
using TestSupport::RawSocket;

bool IsOpen(int descriptor) {
    return fcntl(descriptor, F_GETFD) != -1;
}

// Pieces go out in their order in one call; past kMaxPieces the rest waits.
TEST(Socket, GatheredSendWritesThePiecesInOrderUpToItsLimit) {
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    Socket socket(pair[0], true);
    std::string texts[Socket::kMaxPieces + 1];
    Socket::Piece pieces[Socket::kMaxPieces + 1];
    std::string expected;
    for (uint32_t i = 0; i <= Socket::kMaxPieces; ++i) {
        texts[i] = std::to_string(i) + ",";
        pieces[i] = {texts[i].data(), static_cast<uint32_t>(texts[i].size())};
        if (i < Socket::kMaxPieces) {
            expected += texts[i];
        }
    }
    ASSERT_EQ(socket.Send(pieces, Socket::kMaxPieces + 1), static_cast<int>(expected.size()));
    std::string received(expected.size() + 8, '\0');
    ASSERT_EQ(read(pair[1], received.data(), received.size()),
              static_cast<ssize_t>(expected.size()));
    EXPECT_EQ(received.substr(0, expected.size()), expected);
    socket.Close();
    close(pair[1]);
}

TEST(Socket, ConnectsToAHostedSocketAndCarriesBytes) {
    Socket listener(SocketType::TCP());
    ASSERT_TRUE(listener.Host(LoopbackPort(0)));
    EXPECT_TRUE(listener.IsConnected());
    const uint16_t port = LocalPort(listener);
    ASSERT_NE(port, 0);

    Socket client(SocketType::TCP());
    ASSERT_TRUE(client.Open(LoopbackPort(port)));
    EXPECT_TRUE(client.IsConnected());
    EXPECT_EQ(client.GetRemoteEndPoint().GetPort(), htons(port));
    EXPECT_EQ(client.GetRemoteEndPoint().GetAddress().GetAddress(), htonl(INADDR_LOOPBACK));

    IPEndPoint peer;
    const int descriptor = listener.Listen(peer);
    ASSERT_GE(descriptor, 0);
    Socket accepted(descriptor, true);
    EXPECT_EQ(accepted.GetRemoteEndPoint().GetPort(), client.GetLocalEndPoint().GetPort());
    EXPECT_EQ(peer.GetPort(), client.GetLocalEndPoint().GetPort());
    EXPECT_EQ(peer.GetAddress().GetAddress(), htonl(INADDR_LOOPBACK));

    EXPECT_EQ(client.Send("xxhello", 2, 5), 5);
    char buffer[16] = {};
    EXPECT_EQ(accepted.Receive(buffer, 1, 5), 5);
    EXPECT_EQ(std::string(buffer + 1, 5), "hello");

    client.Close();
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(client.GetSocket(), -1);
    EXPECT_EQ(accepted.Receive(buffer, 0, sizeof buffer), 0);
    client.Close();
    accepted.Close();
    listener.Close();
}

TEST(Socket, ListenersMayRebindAPortWhoseConnectionsAreClosing) {
    Socket tcp(SocketType::TCP());
    ASSERT_TRUE(tcp.Host(LoopbackPort(0)));
    int reuse = 0;
    ASSERT_TRUE(tcp.GetOption(SOL_SOCKET, SO_REUSEADDR, reuse));
    EXPECT_NE(reuse, 0);

    // Datagram sockets keep the exclusive binding.
    Socket udp(SocketType::UDP());
    ASSERT_TRUE(udp.Host(LoopbackPort(0)));
    ASSERT_TRUE(udp.GetOption(SOL_SOCKET, SO_REUSEADDR, reuse));
    EXPECT_EQ(reuse, 0);
    tcp.Close();
    udp.Close();
}

TEST(Socket, HostingAPortInUseFailsWithItsText) {
    const RawSocket holder = RawSocket::Listen();
    Socket tcp(SocketType::TCP());
    EXPECT_FALSE(tcp.Host(LoopbackPort(holder.Port())));
    EXPECT_EQ(Net::GetError(), String("Address already in use"));
    EXPECT_FALSE(tcp.IsConnected());
    tcp.Close();

    const RawSocket datagrams = RawSocket::Datagram();
    Socket udp(SocketType::UDP());
    EXPECT_FALSE(udp.Host(LoopbackPort(datagrams.Port())));
    EXPECT_EQ(Net::GetError(), String("Address already in use"));
    udp.Close();
}

TEST(Socket, OpenFailuresLeaveTheirOwnErrorText) {
    Socket refused(SocketType::TCP());
    EXPECT_FALSE(refused.Open(LoopbackPort(TestSupport::FreePort())));
    EXPECT_EQ(Net::GetError(), String("Connection refused"));
    refused.Close();

    // An end point without an address fails without a system call, and says why.
    Socket nowhere(SocketType::TCP());
    errno = 0;
    EXPECT_FALSE(nowhere.Open(IPEndPoint(String("no such host name"), 80)));
    EXPECT_EQ(Net::GetError(), String("Address family not supported by protocol family"));
    EXPECT_FALSE(nowhere.Host(IPEndPoint()));
    nowhere.Close();
}

TEST(Socket, ShutdownSendEndsOnlyTheSendingDirection) {
    const RawSocket listener = RawSocket::Listen();
    Socket server(SocketType::TCP());
    ASSERT_TRUE(server.Open(LoopbackPort(listener.Port())));
    const RawSocket peer = listener.Accept();
    EXPECT_EQ(server.Send("policy", 0, 6), 6);
    server.ShutdownSend();
    EXPECT_EQ(peer.ReceiveAll(), "policy");

    // Nothing has come yet: that is no end of the stream, which only the peer makes.
    ASSERT_TRUE(server.EnableBlocking(false));
    char buffer[16];
    EXPECT_EQ(server.Receive(buffer, 0, sizeof buffer), -1);
    EXPECT_EQ(Net::GetErrorType(), EAGAIN);
    ASSERT_TRUE(server.EnableBlocking(true));
    peer.SendAll("request");
    EXPECT_EQ(server.Receive(buffer, 0, sizeof buffer), 7);
    server.Close();
}

TEST(Socket, DatagramsCarryTheirSenderInNetworkOrder) {
    Socket receiver(SocketType::UDP());
    ASSERT_TRUE(receiver.Host(LoopbackPort(0)));
    Socket sender(SocketType::UDP());
    ASSERT_TRUE(sender.Host(LoopbackPort(0)));

    EXPECT_EQ(sender.Send("-abc", 1, 3, LoopbackPort(LocalPort(receiver))), 3);
    char buffer[8];
    IPEndPoint from;
    EXPECT_EQ(receiver.Receive(buffer, 0, sizeof buffer, from), 3);
    EXPECT_EQ(std::string(buffer, 3), "abc");
    EXPECT_EQ(from.GetPort(), htons(LocalPort(sender)));
    EXPECT_EQ(from.GetAddress().GetAddress(), htonl(INADDR_LOOPBACK));
    receiver.Close();
    sender.Close();
}

TEST(Socket, OnlyCloseReleasesTheDescriptorWhichCopiesShare) {
    const int descriptor = SocketType::TCP();
    ASSERT_GE(descriptor, 0);
    {
        Socket owner(descriptor);
        const Socket copy(owner);
        EXPECT_EQ(copy.GetSocket(), descriptor);
    }
    EXPECT_TRUE(IsOpen(descriptor));

    Socket owner(descriptor);
    Socket other(SocketType::TCP());
    const int otherDescriptor = other.GetSocket();
    other = owner;
    EXPECT_FALSE(IsOpen(otherDescriptor));
    EXPECT_EQ(other.GetSocket(), descriptor);
    owner.Close();
    owner.Close();
    EXPECT_FALSE(IsOpen(descriptor));
    EXPECT_EQ(Socket().GetSocket(), -1);
}

// A stream socket whose connect was refused can still be bound, but the system will not
// let it listen. Reported as hosting, it would look open and never accept anyone.
TEST(Socket, AListenThatFailsFailsHostingWithItsText) {
    Socket socket(SocketType::TCP());
    ASSERT_FALSE(socket.Open(LoopbackPort(TestSupport::FreePort())));
    EXPECT_FALSE(socket.Host(LoopbackPort(0)));
    EXPECT_EQ(Net::GetError(), String("Invalid argument"));
    EXPECT_FALSE(socket.IsConnected());
    // The bind before it succeeded: it is the listen that failed.
    EXPECT_NE(LocalPort(socket), 0);
    socket.Close();
}

TEST(Socket, DescriptorZeroIsASocketLikeAnyOther) {
    // With standard input closed a new socket may be descriptor 0; taking 0 for "no
    // socket" would leave it open for ever.
    const int savedInput = dup(STDIN_FILENO);
    ASSERT_GE(savedInput, 0);
    close(STDIN_FILENO);
    Socket socket(SocketType::TCP());
    const int descriptor = socket.GetSocket();
    socket.Close();
    const bool stillOpen = IsOpen(0);
    dup2(savedInput, STDIN_FILENO);
    close(savedInput);
    EXPECT_EQ(descriptor, 0);
    EXPECT_FALSE(stillOpen);
}

TEST(Socket, APeerThatHasGoneNeverRaisesABrokenPipe) {
    Socket made(SocketType::TCP());
    made.Close();
    // The socket layer ignores SIGPIPE for the process: the SSL library writes with
    // write(), which would otherwise end the process here.
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    close(pair[1]);
    EXPECT_EQ(write(pair[0], "x", 1), -1);
    EXPECT_EQ(errno, EPIPE);

    Socket broken(pair[0], true);
    EXPECT_EQ(broken.Send("x", 0, 1), -1);
    broken.Close();
}

}  // namespace
}  // namespace System::Net
