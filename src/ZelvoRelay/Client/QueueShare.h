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

    QueueShare() = default;
    ~QueueShare() override = default;

    QueueShare(const QueueShare&) = delete;
    QueueShare& operator=(const QueueShare&) = delete;

    // Takes bytes for an answer about to be made; false, taking nothing, when the share has
    // no room for them. An empty share has room for any answer, so that one larger than the
    // share is still made.
    [[nodiscard]] bool Reserve(uint64_t bytes);
    // Gives back bytes taken by Reserve, once the answer is counted by Add or was not made;
    // resumes the parked turns once the smallest answer they wait for fits again.
    void Unreserve(uint64_t bytes);
    // Counts bytes queued to send, room or not; true when what is queued is now past kBytes
    // (bytes reserved are not held yet, and the answer queued may be what they were for).
    bool Add(uint64_t bytes);
    // Gives back bytes counted by Add, once sent or dropped; resumes as Unreserve does.
    void Release(uint64_t bytes);
    // Gives back bytes counted by Add, as a connection that closes does, and resumes the
    // parked turns whatever room there is: the closed connection's own requests are dropped
    // in them.
    void ReleaseClosing(uint64_t bytes);
    // After the message worker parked in queue a turn that could not reserve bytes: from now
    // on a release that makes room for them resumes the parked turns. True when that room
    // has come meanwhile, for the caller to resume them at once.
    [[nodiscard]] bool AwaitRoom(uint64_t bytes, Threading::MessageTaskQueue* queue);
    // Whether turns are parked for want of room: the connections are then not read.
    [[nodiscard]] bool IsFull() const { return mAwaited.load() != kNone; }

  private:
    static constexpr uint64_t kNone = UINT64_MAX;

    // Resumes the parked turns when some wait, and forgets them.
    void Resume();

    std::atomic<uint64_t> mBytes{0};   // reserved and queued
    std::atomic<uint64_t> mQueued{0};  // queued
    // The fewest bytes a parked turn waits for; kNone while none is parked.
    std::atomic<uint64_t> mAwaited{kNone};
    // Where the turns are parked; set before the first is.
    std::atomic<Threading::MessageTaskQueue*> mQueue{nullptr};
};

}  // namespace ZelvoRelay::Client
