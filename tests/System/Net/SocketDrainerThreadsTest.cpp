#include "System/Net/SocketDrainer.h"

#include "System/Net/Socket.h"
#include "support/RawClient.h"
#include "support/RawSocket.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace System::Net {
namespace {

using namespace std::chrono_literals;
using TestSupport::RawClient;
using TestSupport::WaitUntil;

// Far longer than any test: a connection closed while it is held was closed for a
// reason other than its time.
constexpr auto kForever = std::chrono::milliseconds(600000);

// One loopback connection: the peer, and this side's descriptor, which the drainer is
// given and closes.
struct Connection {
    std::unique_ptr<RawClient> mPeer;
    int mDescriptor{-1};
    std::string mIdentity;  // what /proc shows for the descriptor while it is open
};

class SocketDrainerTest : public ::testing::Test {
  protected:
    // A connection whose peer has sent this side the bytes given.
    Connection Connect(const std::string& sent = "") {
        Connection connection;
        connection.mPeer = std::make_unique<RawClient>(mListener.Port());
        EXPECT_TRUE(connection.mPeer->Connected());
        EXPECT_TRUE(connection.mPeer->SendBytes(sent));
        EXPECT_TRUE(connection.mPeer->WaitAcknowledged());
        connection.mDescriptor = accept(mListener.Descriptor(), nullptr, nullptr);
        struct stat status {};
        EXPECT_EQ(fstat(connection.mDescriptor, &status), 0);
        connection.mIdentity = "socket:[" + std::to_string(status.st_ino) + "]";
        return connection;
    }

    // Whether this side's socket is still open (its number is not merely reused).
    static bool IsOpen(const Connection& connection) {
        std::error_code error;
        const auto link = std::filesystem::read_symlink(
            "/proc/self/fd/" + std::to_string(connection.mDescriptor), error);
        return link == connection.mIdentity;
    }

    // The bytes waiting on this side's socket.
    static int Unread(const Connection& connection) {
        int unread = 0;
        return ioctl(connection.mDescriptor, FIONREAD, &unread) == 0 ? unread : -1;
    }

    static void Add(SocketDrainer& drainer, const Connection& connection) {
        drainer.Add(Socket(connection.mDescriptor, true));
    }

    TestSupport::RawSocket mListener = TestSupport::RawSocket::Listen();
};

TEST_F(SocketDrainerTest, EndsTheStreamAtOnceAndReadsUntilThePeerCloses) {
    SocketDrainer drainer(4, kForever);
    ASSERT_EQ(drainer.Start(), 0);
    Connection connection = Connect();
    ASSERT_TRUE(connection.mPeer->SendBytes("before"));
    Add(drainer, connection);

    EXPECT_EQ(connection.mPeer->ReadToEnd(), "");
    ASSERT_TRUE(connection.mPeer->SendBytes(std::string(300000, 'x')));
    ASSERT_TRUE(connection.mPeer->WaitAcknowledged());
    EXPECT_TRUE(IsOpen(connection));

    connection.mPeer->Close();
    EXPECT_TRUE(WaitUntil([&] { return !IsOpen(connection); }));
}

TEST_F(SocketDrainerTest, ClosesAConnectionThatFails) {
    SocketDrainer drainer(4, kForever);
    ASSERT_EQ(drainer.Start(), 0);
    Connection connection = Connect();
    Add(drainer, connection);
    ASSERT_EQ(connection.mPeer->ReadToEnd(), "");
    EXPECT_TRUE(IsOpen(connection));

    connection.mPeer->Reset();
    EXPECT_TRUE(WaitUntil([&] { return !IsOpen(connection); }));
}

TEST_F(SocketDrainerTest, LetsASilentConnectionGoOnceItsTimeIsUpAndNotBefore) {
    const auto linger = 150ms;
    SocketDrainer drainer(4, linger);
    ASSERT_EQ(drainer.Start(), 0);
    Connection connection = Connect();
    const auto added = std::chrono::steady_clock::now();
    Add(drainer, connection);

    ASSERT_TRUE(WaitUntil([&] { return !IsOpen(connection); }));
    EXPECT_GE(std::chrono::steady_clock::now() - added, linger);
    EXPECT_TRUE(connection.mPeer->ProbeUntilReset());
}

TEST_F(SocketDrainerTest, ReadsWhatThePeerSentBeforeClosingSoTheCloseIsNoReset) {
    SocketDrainer drainer(4, 300ms);
    ASSERT_EQ(drainer.Start(), 0);
    Connection connection = Connect();
    Add(drainer, connection);
    ASSERT_TRUE(connection.mPeer->SendBytes(std::string(100000, 'x')));
    ASSERT_TRUE(connection.mPeer->WaitAcknowledged());

    ASSERT_TRUE(WaitUntil([&] { return !IsOpen(connection); }));
    EXPECT_EQ(connection.mPeer->ReadToEnd(), "");
    EXPECT_FALSE(connection.mPeer->WasReset());
}

TEST_F(SocketDrainerTest, PastItsCapacityClosesTheOldestAtOnce) {
    SocketDrainer drainer(2, kForever);
    ASSERT_EQ(drainer.Start(), 0);
    Connection oldest = Connect();
    Connection middle = Connect();
    Connection newest = Connect();
    Add(drainer, oldest);
    Add(drainer, middle);
    ASSERT_TRUE(oldest.mPeer->SendBytes("request"));
    ASSERT_TRUE(oldest.mPeer->WaitAcknowledged());
    // More than the buffers on the way hold: it all goes only once the drainer reads the
    // middle connection, and so holds the two.
    ASSERT_TRUE(middle.mPeer->SendBytes(std::string(24 << 20, 'x')));
    Add(drainer, newest);

    ASSERT_TRUE(WaitUntil([&] { return !IsOpen(oldest); }));
    EXPECT_TRUE(IsOpen(middle));
    EXPECT_TRUE(IsOpen(newest));
    // What it had sent was read first: it sees its end of stream, not a reset.
    EXPECT_EQ(oldest.mPeer->ReadToEnd(), "");
    EXPECT_FALSE(oldest.mPeer->WasReset());
    EXPECT_TRUE(oldest.mPeer->ProbeUntilReset());
}

TEST_F(SocketDrainerTest, OfManyConnectionsAddedInARowOnlyTheNewestWithinItsCapacityStayOpen) {
    SocketDrainer drainer(2, kForever);
    ASSERT_EQ(drainer.Start(), 0);
    std::vector<Connection> connections;
    for (int i = 0; i < 6; ++i) {
        connections.push_back(Connect());
        Add(drainer, connections.back());
    }
    ASSERT_TRUE(WaitUntil(
        [&] { return std::count_if(connections.begin(), connections.end(), IsOpen) == 2; }));
    EXPECT_TRUE(IsOpen(connections[4]));
    EXPECT_TRUE(IsOpen(connections[5]));
}

TEST_F(SocketDrainerTest, HoldsNoMoreThanItsCapacityInAllWhileItsThreadIsHeldUp) {
    SocketDrainer drainer(2, kForever);
    ASSERT_EQ(drainer.Start(), 0);
    Connection older[] = {Connect("request"), Connect("request")};
    for (const Connection& connection : older) {
        Add(drainer, connection);
    }
    // Once it has read their requests, the thread holds both.
    ASSERT_TRUE(WaitUntil([&] { return Unread(older[0]) == 0 && Unread(older[1]) == 0; }));
    Connection newer[] = {Connect(), Connect()};
    drainer.Enter();
    for (const Connection& connection : newer) {
        Add(drainer, connection);
    }
    EXPECT_FALSE(IsOpen(older[0]) || IsOpen(older[1]));
    EXPECT_TRUE(IsOpen(newer[0]) && IsOpen(newer[1]));
    drainer.Exit();
}

TEST_F(SocketDrainerTest, StopClosesEveryConnectionHeldAndThoseAddedLaterAtOnce) {
    SocketDrainer drainer(4, kForever);
    ASSERT_EQ(drainer.Start(), 0);
    Connection first = Connect();
    Connection second = Connect();
    Add(drainer, first);
    Add(drainer, second);
    ASSERT_EQ(first.mPeer->ReadToEnd(), "");
    ASSERT_EQ(second.mPeer->ReadToEnd(), "");

    drainer.Stop(true);
    EXPECT_FALSE(IsOpen(first));
    EXPECT_FALSE(IsOpen(second));

    Connection late = Connect("request");
    Add(drainer, late);
    EXPECT_FALSE(IsOpen(late));
    EXPECT_EQ(late.mPeer->ReadToEnd(), "");
    EXPECT_FALSE(late.mPeer->WasReset());

    // Started again, it holds connections again.
    ASSERT_EQ(drainer.Start(), 0);
    Connection again = Connect();
    Add(drainer, again);
    ASSERT_EQ(again.mPeer->ReadToEnd(), "");
    EXPECT_TRUE(IsOpen(again));
}

TEST_F(SocketDrainerTest, DestroyingTheDrainerClosesWhatItHolds) {
    Connection connection = Connect();
    {
        SocketDrainer drainer(4, kForever);
        ASSERT_EQ(drainer.Start(), 0);
        Add(drainer, connection);
        ASSERT_EQ(connection.mPeer->ReadToEnd(), "");
    }
    EXPECT_FALSE(IsOpen(connection));
}

}  // namespace
}  // namespace System::Net
