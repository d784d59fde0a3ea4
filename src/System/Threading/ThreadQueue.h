#pragma once

#include "System/Collections/LinkList.h"
#include "System/Object.h"
#include "System/Threading/QueueLock.h"

namespace System::Threading {

// A first-in first-out queue shared between producer and consumer threads. Every
// operation holds the queue's own lock for the list change only; a consumer may wait
// for an item (WaitDequeue) instead of polling. The queue owns its nodes, never what a
// pointer item points to.
template <typename T>
class ThreadQueue : public Object {
  public:
    ThreadQueue() = default;
    ~ThreadQueue() override = default;

    ThreadQueue(const ThreadQueue&) = delete;
    ThreadQueue& operator=(const ThreadQueue&) = delete;

    // Appends item at the tail and wakes a waiting consumer.
    void Enqueue(const T& item) {
        mLock.Produce([&] { mItems.Add(item); });
    }

    // Takes the item at the head; T's default value (null for a pointer) when the
    // queue is empty. Never blocks for work.
    [[nodiscard]] T Dequeue() {
        return mLock.Hold([this] { return TakeHead(); });
    }

    // Takes the item at the head, waiting for one while the queue is empty. Returns
    // T's default value instead when Wake was called since the last such return (or
    // is called during the wait).
    [[nodiscard]] T WaitDequeue() {
        return mLock.WaitToTake([this] { return mItems.mHead != nullptr; },
                                [this] { return TakeHead(); });
    }

    // Makes the current or next WaitDequeue return without an item, so that a
    // consumer asked to stop sees the request.
    void Wake() { mLock.Wake(); }

    // Drops every item; pointed-to objects are not deleted.
    void Clear() {
        mLock.Hold([this] { mItems.Clear(); });
    }

  private:
    // REQUIRES: mLock held.
    T TakeHead() {
        if (mItems.mHead == nullptr) {
            return T();
        }
        T item = mItems.mHead->mValue;
        // The head's own value matches the head first, so this pops the head.
        mItems.Remove(mItems.mHead->mValue);
        return item;
    }

    QueueLock mLock;  // guards mItems; last in the lock order
    Collections::LinkList<T> mItems;
};

}  // namespace System::Threading
