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

// A stream socket whose connect was refused can still be bound, but the system will not
// let it listen. Reported as hosting, it would look open and never accept anyone.
TEST(Socket, AListenThatFailsFailsHostingWithItsText) {
    Socket socket(SocketType::TCP());
    ASSERT_FALSE(socket.Open(LoopbackPort(TestSupport::FreePort())));
    EXPECT_FALSE(socket.Host(LoopbackPort(0)));
    EXPECT_EQ(Net::GetError(), String("Invalid argument"));
    EXPECT_FALSE(socket.IsConnected());
    // The bind before it succeeded: it is the listen that failed.
    EXPECT_NE(NetTest::LocalPort(socket), 0);
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
