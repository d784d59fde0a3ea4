#include "System/Net/Socket.h"

#include "EventRecorders.h"
#include "System/Net/Net.h"
#include "System/Net/SocketType.h"
#include "support/RawSocket.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace System::Net {
namespace {

using NetTest::LoopbackPort;
using TestSupport::RawSocket;

bool IsOpen(int descriptor) {
    return fcntl(descriptor, F_GETFD) != -1;
}

TEST(Socket, OpenFailuresLeaveTheirOwnErrorText) {
    Socket refused(SocketType::TCP());
    EXPECT_FALSE(refused.Open(LoopbackPort(RawSocket::FreePort())));
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
