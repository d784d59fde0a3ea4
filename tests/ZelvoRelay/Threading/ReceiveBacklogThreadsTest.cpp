#include "ZelvoRelay/Threading/ReceiveBacklog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "System/Threading/WakeEvent.h"

namespace ZelvoRelay::Threading {
namespace {

// A client that closes is held until the last message it sent has been handled, and only
// then leaves the room. The message worker meanwhile handles its messages: one that brings
// the backlog down to the resume mark, handled just as the client worker holds the closed
// client, must not end that hold by the resume mark. Before, it could, and the client left
// with messages waiting, which then found no sender and were dropped (a leaver's last voice
// frames reached no one). Each round races the two once; the race is lost in a small share
// of rounds, so there are many.
TEST(ReceiveBacklog, AClosedClientIsHeldUntilItsLastMessageWhateverIsHandledMeanwhile) {
    constexpr int kRounds = 100000;
    System::Threading::WakeEvent wake;
    std::atomic<ReceiveBacklog*> shared{nullptr};
    std::atomic<int> handled{0};
    // Handles one message of each round's backlog as soon as the round begins.
    std::thread messageWorker([&] {
        for (int round = 1; round <= kRounds; ++round) {
            ReceiveBacklog* backlog = nullptr;
            while ((backlog = shared.exchange(nullptr)) == nullptr) {
                std::this_thread::yield();
            }
            backlog->Remove();
            handled.store(round);
        }
    });
    int leftEarly = 0;
    for (int round = 1; round <= kRounds; ++round) {
        ReceiveBacklog backlog;
        for (uint32_t i = 0; i <= ReceiveBacklog::kResumeMark; ++i) {
            backlog.Add();
        }
        shared.store(&backlog);
        // The message worker takes a moment to see the round begin: the hold comes a little
        // later each round, so that some rounds meet the handling halfway.
        for (std::atomic<int> pause{0}; pause.load() < round % 256;) {
            pause.fetch_add(1);
        }
        const bool held = backlog.Hold(&wake, 0);
        while (handled.load() != round) {
            std::this_thread::yield();
        }
        // kResumeMark messages still wait.
        leftEarly += held && !backlog.IsHeld() ? 1 : 0;
    }
    messageWorker.join();
    EXPECT_EQ(leftEarly, 0) << "of " << kRounds << " rounds";
}

}  // namespace
}  // namespace ZelvoRelay::Threading
