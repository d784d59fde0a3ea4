#include "ZelvoRelay/Threading/MessageTaskQueue.h"

#include <cassert>

#include "ZelvoRelay/Threading/MessageTask.h"

namespace ZelvoRelay::Threading {

void MessageTaskQueue::Enqueue(uint32_t connectionId, MessageTask* task) {
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (connectionId == kServer) {
            Append(mServer, task);
        } else {
            Line& line = mConnections[connectionId];
            if (line.mHead == nullptr) {
                // A connection with nothing waiting comes to wait after every other.
                line.mConnectionId = connectionId;
                line.mNextInTurn = nullptr;
                (mLastInTurn != nullptr ? mLastInTurn->mNextInTurn : mFirstInTurn) = &line;
                mLastInTurn = &line;
            }
            Append(line, task);
        }
    }
    mAvailable.notify_one();
}

void MessageTaskQueue::EnqueueAfterAll(MessageTask* task) {
    task->mAfterAll = true;
    Enqueue(kServer, task);
}

MessageTask* MessageTaskQueue::Dequeue() {
    std::lock_guard<std::mutex> lock(mMutex);
    return TakeTurn();
}

MessageTask* MessageTaskQueue::WaitDequeue() {
    std::unique_lock<std::mutex> lock(mMutex);
    // The wake flag is tested under the lock that Wake sets it under, so a Wake that comes
    // between the test and the wait still ends the wait.
    mAvailable.wait(lock, [this] { return mWoken || mCount > 0; });
    if (mWoken) {
        mWoken = false;
        return nullptr;
    }
    return TakeTurn();
}

void MessageTaskQueue::Wake() {
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mWoken = true;
    }
    mAvailable.notify_all();
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
