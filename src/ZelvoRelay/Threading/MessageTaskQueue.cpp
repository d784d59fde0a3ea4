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

void MessageTaskQueue::Park(MessageTask* task, Client::QueueShare& share, uint64_t bytes) {
    // Named before the sender's end is looked at, as a closing looks for the queue after it
    // has ended its answers: either the closing finds the connection parked, or it is not.
    share.ParkIn(this);
    mLock.Produce([&] {
        const uint32_t connectionId = task->GetTurnOf();
        Line& line = mConnections[connectionId];
        assert(line.mParkedFor == nullptr && connectionId != kServer);
        line.mConnectionId = connectionId;
        task->mNextQueued = line.mHead;
        line.mHead = task;
        if (line.mTail == nullptr) {
            line.mTail = task;
        }
        ++line.mCount;
        ++mCount;
        // Its closing has come and gone: parked, its requests would wait for room they never
        // need, and the connection could not leave until then.
        if (task->IsSenderGone()) {
            if (!line.mInTurn) {
                Link(line);
            }
            return;
        }
        // Still linked among the turns when more of its tasks wait; skipped when its turn comes.
        line.mParkedFor = &share;
        line.mAwaited = bytes;
        mParkedCount += line.mCount;
        Parked& parked = mParked[&share];
        line.mPrevParked = parked.mLast;
        line.mNextParked = nullptr;
        (parked.mLast != nullptr ? parked.mLast->mNextParked : parked.mFirst) = &line;
        parked.mLast = &line;
        ResumeLocked(share);
    });
}

void MessageTaskQueue::Resume(Client::QueueShare& share) {
    mLock.Produce([&] { ResumeLocked(share); });
}

void MessageTaskQueue::ResumeConnection(uint32_t connectionId) {
    mLock.Produce([&] {
        const auto found = mConnections.find(connectionId);
        if (found == mConnections.end() || found->second.mParkedFor == nullptr) {
            return;
        }
        Client::QueueShare& share = *found->second.mParkedFor;
        Unpark(found->second);
        // It may have been the first parked, and the one now first may fit.
        ResumeLocked(share);
    });
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
    if (line.mParkedFor != nullptr) {
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
    while (mFirstInTurn != nullptr && mFirstInTurn->mParkedFor != nullptr) {
        Line& line = *mFirstInTurn;
        mFirstInTurn = line.mNextInTurn;
        if (mFirstInTurn == nullptr) {
            mLastInTurn = nullptr;
        }
        line.mInTurn = false;
    }
}

void MessageTaskQueue::ResumeLocked(Client::QueueShare& share) {
    // Lines resumed and not yet taken: their answers are not reserved yet, and room for one
    // is no room for the next.
    uint64_t promised = 0;
    for (auto parked = mParked.find(&share); parked != mParked.end();
         parked = mParked.find(&share)) {
        Line& first = *parked->second.mFirst;
        // Told before the room is looked at, as a release looks at what is awaited after it
        // has given its bytes back: one side or the other sees the room.
        share.Await(first.mAwaited);
        if (!share.HasRoomFor(first.mAwaited, promised)) {
            return;
        }
        promised += first.mAwaited;
        Unpark(first);
    }
    share.Await(Client::QueueShare::kNone);
}

void MessageTaskQueue::Unpark(Line& line) {
    const auto parked = mParked.find(line.mParkedFor);
    assert(parked != mParked.end());
    (line.mPrevParked != nullptr ? line.mPrevParked->mNextParked : parked->second.mFirst) =
        line.mNextParked;
    (line.mNextParked != nullptr ? line.mNextParked->mPrevParked : parked->second.mLast) =
        line.mPrevParked;
    if (parked->second.mFirst == nullptr) {
        mParked.erase(parked);
    }
    line.mParkedFor = nullptr;
    line.mPrevParked = nullptr;
    line.mNextParked = nullptr;
    mParkedCount -= line.mCount;
    if (!line.mInTurn) {
        Link(line);
    }
}

void MessageTaskQueue::ResumeAllLocked() {
    while (!mParked.empty()) {
        const auto parked = mParked.begin();
        parked->first->Await(Client::QueueShare::kNone);
        Unpark(*parked->second.mFirst);
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
