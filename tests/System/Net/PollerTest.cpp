#include "System/Net/Poller.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace System::Net
