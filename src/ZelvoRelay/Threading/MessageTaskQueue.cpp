#include "ZelvoRelay/Threading/MessageTaskQueue.h"

#include <cassert>
#include <utility>

#include "ZelvoRelay/Client/QueueShare.h"
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
            Link(line);
        }
        Append(line, task);
    });
}

void MessageTaskQueue::EnqueueAfterAll(MessageTask* task) {
    task->mAfterAll = true;
    Enqueue(kServer, task);
}

void MessageTaskQueue::Park(MessageTask* task, const Client::QueueShare* share) {
    mLock.Hold([&] {
        const uint32_t connectionId = task->GetTurnOf();
        Line& line = mConnections[connectionId];
        assert(!line.mParked && connectionId != kServer);
        line.mConnectionId = connectionId;
        task->mNextQueued = line.mHead;
        line.mHead = task;
        if (line.mTail == nullptr) {
            line.mTail = task;
        }
        ++line.mCount;
        ++mCount;
        // Still linked among the turns when more of its tasks wait; skipped when its turn comes.
        line.mParked = true;
        mParkedCount += line.mCount;
        mParked[share].push_back(connectionId);
    });
}

void MessageTaskQueue::Resume(const Client::QueueShare* share) {
    mLock.Produce([&] { ResumeLocked(share); });
}

void MessageTaskQueue::KeepUntilServed(std::shared_ptr<Client::QueueShare> share, uint64_t bytes) {
    const bool kept = mLock.Hold([&] {
        if (mServer.mTail == nullptr) {
            return false;
        }
        mServer.mTail->mKept.push_back({std::move(share), bytes});
        return true;
    });
    if (!kept) {
        share->Unreserve(bytes);
    }
}

void MessageTaskQueue::ResumeAll() {
    mLock.Produce([this] { ResumeAllLocked(); });
}

MessageTask* MessageTaskQueue::Dequeue() {
    return mLock.Hold([this] {
        ResumeAllLocked();
        return TakeTurn();
    });
}

MessageTask* MessageTaskQueue::TryDequeue() {
    return mLock.Hold([this] { return TakeTurn(); });
}

MessageTask* MessageTaskQueue::WaitDequeue() {
    return mLock.WaitToTake([this] { return mCount > mParkedCount; },
                            [this] { return TakeTurn(); });
}

void MessageTaskQueue::Wake() {
    mLock.Wake();
}

void MessageTaskQueue::Append(Line& line, MessageTask* task) {
    assert(task->mNextQueued == nullptr);
    (line.mTail != nullptr ? line.mTail->mNextQueued : line.mHead) = task;
    line.mTail = task;
    ++line.mCount;
    ++mCount;
    if (line.mParked) {
        ++mParkedCount;
    }
}

void MessageTaskQueue::Link(Line& line) {
    line.mNextInTurn = nullptr;
    (mLastInTurn != nullptr ? mLastInTurn->mNextInTurn : mFirstInTurn) = &line;
    mLastInTurn = &line;
    line.mInTurn = true;
}

void MessageTaskQueue::SkipParked() {
    while (mFirstInTurn != nullptr && mFirstInTurn->mParked) {
        Line& line = *mFirstInTurn;
        mFirstInTurn = line.mNextInTurn;
        if (mFirstInTurn == nullptr) {
            mLastInTurn = nullptr;
        }
        line.mInTurn = false;
    }
}

void MessageTaskQueue::ResumeLocked(const Client::QueueShare* share) {
    const auto parked = mParked.find(share);
    if (parked == mParked.end()) {
        return;
    }
    for (const uint32_t connectionId : parked->second) {
        Line& line = mConnections.at(connectionId);
        line.mParked = false;
        mParkedCount -= line.mCount;
        if (!line.mInTurn) {
            Link(line);
        }
    }
    mParked.erase(parked);
}

void MessageTaskQueue::ResumeAllLocked() {
    while (!mParked.empty()) {
        ResumeLocked(mParked.begin()->first);
    }
}

MessageTask* MessageTaskQueue::TakeTurn() {
    if (mCount == mParkedCount) {
        return nullptr;
    }
    SkipParked();
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
    line.mInTurn = false;
    mServerTurn = true;
    MessageTask* task = TakeHead(line);
    if (line.mHead == nullptr) {
        mConnections.erase(line.mConnectionId);
    } else {
        Link(line);
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
    --line.mCount;
    --mCount;
    return task;
}

}  // namespace ZelvoRelay::Threading
