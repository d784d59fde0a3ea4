#pragma once

#include <atomic>
#include <cstdint>

#include "System/Object.h"

namespace ZelvoRelay::Threading {
class MessageTaskQueue;
}

namespace ZelvoRelay::Client {

// What the connections of one address that have not joined make the server hold to send
// them, counted together: the unsent bytes of their send queues, and the bytes taken for
// answers being made for them. An answer is taken from the share before it is made, so
// that the requests of connections that read nothing wait, rather than their answers
// piling up in memory; a request that finds no room waits (the message worker parks its
// connection's turns, MessageTaskQueue::Park) until bytes are given back.
//
// Any thread; lock-free. Giving bytes back may resume parked turns, which takes the task
// queue's lock, last in the lock order: REQUIRES no task queue lock held.
class QueueShare : public System::Object {
  public:
    // The most the share holds: one member's send queue (RelayClient::kMaxQueuedBytes).
    static constexpr uint64_t kBytes = 16u << 20;
    // What is awaited while no turn is parked.
    static constexpr uint64_t kNone = UINT64_MAX;

    QueueShare() = default;
    ~QueueShare() override = default;

    QueueShare(const QueueShare&) = delete;
    QueueShare& operator=(const QueueShare&) = delete;

    // Takes bytes for an answer about to be made; false, taking nothing, when the share has
    // no room for them.
    [[nodiscard]] bool Reserve(uint64_t bytes);
    // Gives back bytes taken by Reserve, once the answer is counted by Add or was not made;
    // resumes parked turns once the first of them fits.
    void Unreserve(uint64_t bytes);
    // Counts bytes queued to send, room or not; true when what is queued is now past kBytes
    // (bytes reserved are not held yet, and the answer queued may be what they were for).
    bool Add(uint64_t bytes);
    // Gives back bytes counted by Add, once sent or dropped (or its connection closed);
    // resumes as Unreserve does.
    void Release(uint64_t bytes);
    // The connection connectionId will never be answered again: its own turns parked for
    // room are resumed at once, for its requests to be dropped, and no other's. Costs the
    // same however many connections of the address wait.
    void EndWaiting(uint32_t connectionId);

    // Whether an answer of bytes would fit beside what is held and promised (bytes of turns
    // resumed and not yet taken). An empty share has room for any answer, so that one larger
    // than the share is still made.
    [[nodiscard]] bool HasRoomFor(uint64_t bytes, uint64_t promised = 0) const;
    // Whether turns are parked for want of room: the connections are then not read.
    [[nodiscard]] bool IsFull() const { return mAwaited.load() != kNone; }

    // For queue, which parks turns for this share: set before it parks the first.
    void ParkIn(Threading::MessageTaskQueue* queue) { mQueue.store(queue); }
    // For the queue: the bytes the first parked turn waits for, kNone when none waits.
    // REQUIRES: the queue's lock held.
    void Await(uint64_t bytes) { mAwaited.store(bytes); }

  private:
    [[nodiscard]] static bool Fits(uint64_t held, uint64_t bytes) {
        return held == 0 || held + bytes <= kBytes;
    }

    std::atomic<uint64_t> mBytes{0};   // reserved and queued
    std::atomic<uint64_t> mQueued{0};  // queued
    // What the first parked turn waits for; kNone while none is parked.
    std::atomic<uint64_t> mAwaited{kNone};
    // Where the turns are parked; set before the first is.
    std::atomic<Threading::MessageTaskQueue*> mQueue{nullptr};
};

}  // namespace ZelvoRelay::Client
