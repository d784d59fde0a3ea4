#include "ZelvoRelay/Threading/ReceiveBacklog.h"

#include <gtest/gtest.h>

#include <poll.h>

#include "System/Threading/WakeEvent.h"

namespace ZelvoRelay::Threading {
namespace {

bool Signalled(const System::Threading::WakeEvent& wake) {
    pollfd watched{wake.GetDescriptor(), POLLIN, 0};
    return poll(&watched, 1, 0) == 1;
}

// A held client is woken once, when its backlog falls to the resume mark; a hold asked
// for after the backlog has already fallen that far is refused, so the wake-up that
// would end it cannot be missed.
TEST(ReceiveBacklog, AHoldEndsWithOneWakeAtTheResumeMark) {
    System::Threading::WakeEvent wake;
    ReceiveBacklog backlog;
    const uint32_t held = ReceiveBacklog::kResumeMark + 3;
    for (uint32_t i = 0; i < held; ++i) {
        backlog.Add();
    }
    ASSERT_TRUE(backlog.Hold(&wake));
    backlog.Remove();
    backlog.Remove();
    EXPECT_TRUE(backlog.IsHeld());
    EXPECT_FALSE(Signalled(wake));
    backlog.Remove();
    EXPECT_FALSE(backlog.IsHeld());
    EXPECT_TRUE(Signalled(wake));
    wake.Clear();
    backlog.Remove();
    EXPECT_FALSE(Signalled(wake));

    EXPECT_FALSE(backlog.Hold(&wake));
    EXPECT_FALSE(backlog.IsHeld());
    EXPECT_EQ(backlog.Count(), ReceiveBacklog::kResumeMark - 1);
}

}  // namespace
}  // namespace ZelvoRelay::Threading
