#pragma once

#include <condition_variable>
#include <mutex>

#include "System/Collections/LinkList.h"
#include "System/Object.h"

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
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mItems.Add(item);
        }
        mAvailable.notify_one();
    }

    // Takes the item at the head; T's default value (null for a pointer) when the
    // queue is empty. Never blocks for work.
    [[nodiscard]] T Dequeue() {
        std::lock_guard<std::mutex> lock(mMutex);
        return TakeHead();
    }

    // Takes the item at the head, waiting for one while the queue is empty. Returns
    // T's default value instead when Wake was called since the last such return (or
    // is called during the wait).
    [[nodiscard]] T WaitDequeue() {
        std::unique_lock<std::mutex> lock(mMutex);
        // The wake flag is tested under the lock that Wake sets it under, so a Wake
        // that comes between the test and the wait still ends the wait.
        mAvailable.wait(lock, [this] { return mWoken || mItems.mHead != nullptr; });
        if (mWoken) {
            mWoken = false;
            return T();
        }
        return TakeHead();
    }

    // Makes the current or next WaitDequeue return without an item, so that a
    // consumer asked to stop sees the request.
    void Wake() {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mWoken = true;
        }
        mAvailable.notify_all();
    }

    // Drops every item; pointed-to objects are not deleted.
    void Clear() {
        std::lock_guard<std::mutex> lock(mMutex);
        mItems.Clear();
    }

  private:
    // REQUIRES: mMutex held.
    T TakeHead() {
        if (mItems.mHead == nullptr) {
            return T();
        }
        T item = mItems.mHead->mValue;
        // The head's own value matches the head first, so this pops the head.
        mItems.Remove(mItems.mHead->mValue);
        return item;
    }

    // Guards mItems and mWoken. Last in the lock order: nothing else is entered while
    // it is held.
    std::mutex mMutex;
    std::condition_variable mAvailable;  // signalled when an item or a wake arrives
    Collections::LinkList<T> mItems;
    bool mWoken{false};  // Wake was called and no WaitDequeue has returned for it yet
};

}  // namespace System::Threading
