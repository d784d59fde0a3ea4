#include "System/Threading/WakeEvent.h"

#include <gtest/gtest.h>

#include <poll.h>

namespace System::Threading {
namespace {

bool Readable(const WakeEvent& event) {
    pollfd watched{event.GetDescriptor(), POLLIN, 0};
    return poll(&watched, 1, 0) == 1 && (watched.revents & POLLIN) != 0;
}

TEST(WakeEvent, ASignalStaysReadableUntilClearedAndSeveralSignalsClearAtOnce) {
    WakeEvent event;
    ASSERT_GE(event.GetDescriptor(), 0);
    EXPECT_FALSE(Readable(event));
    event.Signal();
    event.Signal();
    EXPECT_TRUE(Readable(event));
    event.Clear();
    EXPECT_FALSE(Readable(event));
    // A signal after a clear is not lost to the flag the earlier signals left.
    event.Signal();
    EXPECT_TRUE(Readable(event));
    event.Clear();
    event.Clear();
    EXPECT_FALSE(Readable(event));
}

}  // namespace
}  // namespace System::Threading
