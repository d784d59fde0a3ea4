#include "ZelvoRelay/Threading/ReceiveBacklog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "System/Threading/WakeEvent.h"

namespace ZelvoRelay::Threading {
namespace {

constexpr int kRounds = 100000;

// Races, round after round, the message worker handling one message of a closed client's
// backlog, which brings it down to the resume mark, against the client worker holding that
// client until its last message (mark 0), perhaps over a hold at the resume mark made before.
// Returns the rounds in which the client was let go with messages waiting. The race is lost
// in a small share of rounds, so there are many.
int RoundsLetGoEarly(bool heldAtTheResumeMark) {
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
    int letGoEarly = 0;
    for (int round = 1; round <= kRounds; ++round) {
        ReceiveBacklog backlog;
        for (uint32_t i = 0; i <= ReceiveBacklog::kResumeMark; ++i) {
            backlog.Add();
        }
        EXPECT_TRUE(!heldAtTheResumeMark || backlog.Hold(&wake));
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
        letGoEarly += held && !backlog.IsHeld() ? 1 : 0;
    }
    messageWorker.join();
    return letGoEarly;
}

// A client that closes is held until the last message it sent has been handled, and only
// then leaves the room. The message worker meanwhile handles its messages: one that brings
// the backlog down to the resume mark, handled just as the client worker holds the closed
// client, must not end that hold by the resume mark. Before, it could, and the client left
// with messages waiting, which then found no sender and were dropped (a leaver's last voice
// frames reached no one).
TEST(ReceiveBacklog, AClosedClientIsHeldUntilItsLastMessageWhateverIsHandledMeanwhile) {
    EXPECT_EQ(RoundsLetGoEarly(false), 0) << "of " << kRounds << " rounds";
}

// The same when the closed client was already held at the resume mark: the message that
// ends that hold must not end the hold until the last message made over it meanwhile.
TEST(ReceiveBacklog, AHoldUntilTheLastMessageMadeOverAHoldAtTheResumeMarkStays) {
    EXPECT_EQ(RoundsLetGoEarly(true), 0) << "of " << kRounds << " rounds";
}

}  // namespace
}  // namespace ZelvoRelay::Threading
