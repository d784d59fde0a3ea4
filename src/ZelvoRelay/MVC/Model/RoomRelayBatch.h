#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ZelvoRelay/MVC/Model/NetMessageModel.h"

namespace ZelvoRelay::Collections {
class ClientCollection;
}

namespace ZelvoRelay::MVC::Model {

// Frames for the room that wait to be put into their recipients' send queues, so that a
// burst of them goes into each queue at once, under one taking of the queue's monitor. The
// monitor is the client worker's as much as it is the message worker's: taken once per
// frame and recipient, its cache line went from one core to the other and back with every
// frame while the two workers ran at once, which doubled the cost of a relayed message.
//
// Guarded by the client-collection monitor. Every path that puts frames into a send queue
// holds that monitor and flushes the batch first, so no frame overtakes one held here.
class RoomRelayBatch {
  public:
    // The most frames held; the one that fills the batch flushes it.
    static constexpr size_t kMaxFrames = 32;

    RoomRelayBatch();
    RoomRelayBatch(const RoomRelayBatch&) = delete;
    RoomRelayBatch& operator=(const RoomRelayBatch&) = delete;

    // Holds entry for every joined client except senderId admitted after the first
    // admittedAfter admissions and among the first admittedBy, and among those admitted
    // by now, that is still joined when it is flushed; flushes when the batch is full, and
    // first when it holds a frame of senderId already.
    void Add(const NetMessageModel& entry, uint32_t senderId, uint64_t admittedAfter,
             uint64_t admittedBy, Collections::ClientCollection& clients);
    // Appends the frames held to their recipients' send queues, in the order added.
    void Flush(Collections::ClientCollection& clients);

    // Whether nothing is held; read without the monitor by the message worker, the only
    // thread that adds.
    [[nodiscard]] bool IsEmpty() const { return mCount.load(std::memory_order_relaxed) == 0; }
    // How many frames have been held so far; read without the monitor.
    [[nodiscard]] uint64_t NumAdded() const { return mAdded.load(std::memory_order_relaxed); }

  private:
    struct Held {
        NetMessageModel mEntry;
        uint32_t mSenderId;
        uint64_t mAdmittedAfter;
        uint64_t mAdmittedBy;
        uint32_t mUncopied{0};  // copies reserved in a flush and not made yet
    };

    // Empties the batch and gives back the copies reserved and not made: after a flush,
    // also one that failed for want of memory, no frame is queued twice nor kept for good.
    void Clear() noexcept;

    std::vector<Held> mHeld;  // oldest first
    // One recipient's copies during a flush; kept for its capacity.
    std::vector<NetMessageModel> mCopies;
    std::atomic<size_t> mCount{0};    // mirrors mHeld's size for IsEmpty
    std::atomic<uint64_t> mAdded{0};  // see NumAdded
};

}  // namespace ZelvoRelay::MVC::Model
