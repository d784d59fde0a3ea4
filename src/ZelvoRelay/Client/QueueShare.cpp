#include "ZelvoRelay/Client/QueueShare.h"

#include "System/Utility/HeapTrim.h"
#include "ZelvoRelay/Threading/MessageTaskQueue.h"

namespace ZelvoRelay::Client {

bool QueueShare::Reserve(uint64_t bytes) {
    uint64_t held = mBytes.load();
    do {
        if (held != 0 && held + bytes > kBytes) {
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
    // Read after the bytes are given back, as AwaitRoom looks at the bytes after it has set
    // what it waits for: one side or the other sees the room.
    const uint64_t awaited = mAwaited.load();
    if (awaited != kNone && (held == 0 || held + awaited <= kBytes)) {
        Resume();
    }
}

void QueueShare::ReleaseClosing(uint64_t bytes) {
    System::Utility::HeapTrim::Freed(bytes);
    mQueued -= bytes;
    mBytes -= bytes;
    if (mAwaited.load() != kNone) {
        Resume();
    }
}

bool QueueShare::AwaitRoom(uint64_t bytes, Threading::MessageTaskQueue* queue) {
    mQueue.store(queue);
    uint64_t awaited = mAwaited.load();
    while (bytes < awaited && !mAwaited.compare_exchange_weak(awaited, bytes)) {
    }
    const uint64_t held = mBytes.load();
    return held == 0 || held + bytes <= kBytes;
}

void QueueShare::Resume() {
    if (mAwaited.exchange(kNone) != kNone) {
        mQueue.load()->Resume(this);
    }
}

}  // namespace ZelvoRelay::Client
