#include "ZelvoRelay/Client/QueueShare.h"

#include "System/Utility/HeapTrim.h"
#include "ZelvoRelay/Threading/MessageTaskQueue.h"

namespace ZelvoRelay::Client {

bool QueueShare::Reserve(uint64_t bytes) {
    uint64_t held = mBytes.load();
    do {
        if (!Fits(held, bytes)) {
            return false;
        }
    } while (!mBytes.compare_exchange_weak(held, held + bytes));
    return true;
}

bool QueueShare::Add(uint64_t bytes) {
    mBytes += bytes;
    return (mQueued += bytes) > kBytes;
}

void QueueShare::Release(uint64_t bytes) {
    System::Utility::HeapTrim::Freed(bytes);
    mQueued -= bytes;
    Unreserve(bytes);
}

void QueueShare::Unreserve(uint64_t bytes) {
    const uint64_t held = (mBytes -= bytes);
    // Read after the bytes are given back, as the queue looks at the bytes after it has set
    // what is awaited: one side or the other sees the room.
    const uint64_t awaited = mAwaited.load();
    if (awaited != kNone && Fits(held, awaited)) {
        mQueue.load()->Resume(*this);
    }
}

void QueueShare::EndWaiting(uint32_t connectionId) {
    // Read after the connection's answers were ended, as the queue sees that end after it
    // has been named here: either the queue finds the connection parked, or it never parks it.
    if (Threading::MessageTaskQueue* queue = mQueue.load()) {
        queue->ResumeConnection(connectionId);
    }
}

bool QueueShare::HasRoomFor(uint64_t bytes, uint64_t promised) const {
    return Fits(mBytes.load() + promised, bytes);
}

}  // namespace ZelvoRelay::Client
