#include "System/Net/Poller.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace System::Net {
namespace {

// A connected pair of stream sockets, closed at the end.
struct Pair {
    Pair() { EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, mEnds), 0); }
    ~Pair() {
        for (int end : mEnds) {
            if (end >= 0) {
                close(end);
            }
        }
    }
    int mEnds[2]{-1, -1};
};

TEST(Poller, ReportsEachChangeOfReadinessOnceWithItsToken) {
    Poller poller;
    Pair pair;
    int token = 0;
    ASSERT_TRUE(poller.Add(pair.mEnds[0], &token));
    Poller::Ready ready[4];

    // A new socket has room to write, nothing to read.
    ASSERT_EQ(poller.Wait(ready, 4, 0), 1);
    EXPECT_EQ(ready[0].mToken, &token);
    EXPECT_TRUE(ready[0].mWritable);
    EXPECT_FALSE(ready[0].mReadable);
    EXPECT_EQ(poller.Wait(ready, 4, 0), 0);

    // Bytes that arrive are reported once, though they stay unread.
    ASSERT_EQ(write(pair.mEnds[1], "ab", 2), 2);
    ASSERT_EQ(poller.Wait(ready, 4, -1), 1);
    EXPECT_TRUE(ready[0].mReadable);
    EXPECT_EQ(poller.Wait(ready, 4, 0), 0);
    ASSERT_EQ(write(pair.mEnds[1], "c", 1), 1);
    EXPECT_EQ(poller.Wait(ready, 4, 0), 1);

    // The peer's end of stream reads as readable.
    close(pair.mEnds[1]);
    pair.mEnds[1] = -1;
    ASSERT_EQ(poller.Wait(ready, 4, -1), 1);
    EXPECT_TRUE(ready[0].mReadable);

    poller.Remove(pair.mEnds[0]);
    EXPECT_EQ(poller.Wait(ready, 4, 0), 0);
}

// A TCP peer may end its stream, and still read what it is sent, or reset the connection, after
// which nothing sent can arrive: only the reset is reported as a failure.
TEST(Poller, ReportsAResetConnectionAsFailedAndAnEndedStreamOnlyAsEnded) {
    for (const bool reset : {false, true}) {
        const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(listen(listener, 1), 0);
        ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
        const int peer = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_EQ(connect(peer, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        const int accepted = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        ASSERT_GE(accepted, 0);
        Poller poller;
        int token = 0;
        ASSERT_TRUE(poller.Add(accepted, &token));
        Poller::Ready ready[4];
        ASSERT_EQ(poller.Wait(ready, 4, 0), 1);  // room to write
        if (reset) {
            const linger now{1, 0};
            ASSERT_EQ(setsockopt(peer, SOL_SOCKET, SO_LINGER, &now, sizeof now), 0);
            close(peer);
        } else {
            ASSERT_EQ(shutdown(peer, SHUT_WR), 0);
        }
        ASSERT_EQ(poller.Wait(ready, 4, -1), 1);
        EXPECT_TRUE(ready[0].mEnded) << reset;
        EXPECT_EQ(ready[0].mFailed, reset);
        poller.Remove(accepted);
        close(accepted);
        if (!reset) {
            close(peer);
        }
        close(listener);
    }
}

}  // namespace
}  // namespace System::Net
