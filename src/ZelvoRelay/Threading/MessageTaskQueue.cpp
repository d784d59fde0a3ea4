#include "ZelvoRelay/Threading/MessageTaskQueue.h"

#include <cassert>

#include "ZelvoRelay/Threading/MessageTask.h"

namespace ZelvoRelay::Threading {

void MessageTaskQueue::Enqueue(uint32_t connectionId, MessageTask* task) {
    mLock.Produce([&] {
        if (connectionId == kServer) {
            Append(mServer, task);
            return;
        }
        Line& line = mConnections[connectionId];
        if (line.mHead == nullptr) {
            // A connection with nothing waiting comes to wait after every other.
            line.mConnectionId = connectionId;
            line.mNextInTurn = nullptr;
            (mLastInTurn != nullptr ? mLastInTurn->mNextInTurn : mFirstInTurn) = &line;
            mLastInTurn = &line;
        }
        Append(line, task);
    });
}

void MessageTaskQueue::EnqueueAfterAll(MessageTask* task) {
    task->mAfterAll = true;
    Enqueue(kServer, task);
}

MessageTask* MessageTaskQueue::Dequeue() {
    return mLock.Hold([this] { return TakeTurn(); });
}

MessageTask* MessageTaskQueue::WaitDequeue() {
    return mLock.WaitToTake([this] { return mCount > 0; }, [this] { return TakeTurn(); });
}

void MessageTaskQueue::Wake() {
    mLock.Wake();
}

void MessageTaskQueue::Append(Line& line, MessageTask* task) {
    assert(task->mNextQueued == nullptr);
    (line.mTail != nullptr ? line.mTail->mNextQueued : line.mHead) = task;
    line.mTail = task;
    ++mCount;
}

MessageTask* MessageTaskQueue::TakeTurn() {
    if (mCount == 0) {
        return nullptr;
    }
    if (ServerMayGo() && (mServerTurn || mFirstInTurn == nullptr)) {
        mServerTurn = false;
        return TakeHead(mServer);
    }
    // Some connection waits: the server's line is empty, waits for its turn, or holds a
    // task that goes after every connection's.
    assert(mFirstInTurn != nullptr);
    Line& line = *mFirstInTurn;
    mFirstInTurn = line.mNextInTurn;
    if (mFirstInTurn == nullptr) {
        mLastInTurn = nullptr;
    }
    mServerTurn = true;
    MessageTask* task = TakeHead(line);
    if (line.mHead == nullptr) {
        mConnections.erase(line.mConnectionId);
    } else {
        line.mNextInTurn = nullptr;
        (mLastInTurn != nullptr ? mLastInTurn->mNextInTurn : mFirstInTurn) = &line;
        mLastInTurn = &line;
    }
    return task;
}

bool MessageTaskQueue::ServerMayGo() const {
    return mServer.mHead != nullptr && (!mServer.mHead->mAfterAll || mFirstInTurn == nullptr);
}

MessageTask* MessageTaskQueue::TakeHead(Line& line) {
    MessageTask* task = line.mHead;
    line.mHead = task->mNextQueued;
    if (line.mHead == nullptr) {
        line.mTail = nullptr;
    }
    task->mNextQueued = nullptr;
    --mCount;
    return task;
}

}  // namespace ZelvoRelay::Threading
