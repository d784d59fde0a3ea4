#pragma once

#include "System/Collections/LinkList.h"
#include "System/Object.h"
#include "System/Threading/Monitor.h"

namespace System::Threading {

// A first-in first-out queue shared between producer and consumer threads. Every
// operation holds the queue's own monitor for the list change only. The queue owns
// its nodes, never what a pointer item points to.
template <typename T>
class ThreadQueue : public Object {
  public:
    ThreadQueue() = default;
    ~ThreadQueue() override = default;

    ThreadQueue(const ThreadQueue&) = delete;
    ThreadQueue& operator=(const ThreadQueue&) = delete;

    // Appends item at the tail.
    void Enqueue(const T& item) {
        mMonitor.Enter();
        mItems.Add(item);
        mMonitor.Exit();
    }

    // Takes the item at the head; T's default value (null for a pointer) when the
    // queue is empty. Never blocks for work.
    [[nodiscard]] T Dequeue() {
        mMonitor.Enter();
        if (mItems.mHead == nullptr) {
            mMonitor.Exit();
            return T();
        }
        T item = mItems.mHead->mValue;
        // The head's own value matches the head first, so this pops the head.
        mItems.Remove(mItems.mHead->mValue);
        mMonitor.Exit();
        return item;
    }

    // Drops every item; pointed-to objects are not deleted.
    void Clear() {
        mMonitor.Enter();
        mItems.Clear();
        mMonitor.Exit();
    }

  private:
    Collections::LinkList<T> mItems;  // guarded by mMonitor
    // Guards mItems. Last in the lock order: nothing else is entered while it is held.
    Monitor mMonitor;
};

}  // namespace System::Threading
