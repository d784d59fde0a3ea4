#pragma once

#include <condition_variable>
#include <mutex>

#include "System/Object.h"

namespace System::Threading {

// The lock of a queue shared between producer and consumer threads, and the consumer's wait
// on it: the consumer sleeps until the queue has work or it is woken (asked to stop), and a
// wake that comes between its test and its wait still ends the wait. Each operation holds the
// lock for the queue's change only. Last in the lock order: nothing else is entered while it
// is held.
class QueueLock : public Object {
  public:
    QueueLock() = default;
    ~QueueLock() override = default;

    QueueLock(const QueueLock&) = delete;
    QueueLock& operator=(const QueueLock&) = delete;

    // Runs add with the lock held, then wakes a waiting consumer.
    template <typename Add>
    void Produce(Add add) {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            add();
        }
        mAvailable.notify_one();
    }

    // Runs change with the lock held and returns what it returns.
    template <typename Change>
    auto Hold(Change change) {
        std::lock_guard<std::mutex> lock(mMutex);
        return change();
    }

    // Waits, with the lock, until hasWork() is true, then returns take(); returns take's
    // type's default value (null for a pointer) instead when Wake was called since the last
    // such return (or is called during the wait).
    template <typename HasWork, typename Take>
    auto WaitToTake(HasWork hasWork, Take take) -> decltype(take()) {
        std::unique_lock<std::mutex> lock(mMutex);
        // The wake flag is tested under the lock that Wake sets it under.
        mAvailable.wait(lock, [&] { return mWoken || hasWork(); });
        if (mWoken) {
            mWoken = false;
            return decltype(take())();
        }
        return take();
    }

    // Makes the current or next WaitToTake return without taking, so that a consumer asked
    // to stop sees the request.
    void Wake() {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mWoken = true;
        }
        mAvailable.notify_all();
    }

  private:
    // Guards mWoken, and the queue's state that its owner changes through Produce, Hold
    // and WaitToTake.
    std::mutex mMutex;
    std::condition_variable mAvailable;  // signalled when work or a wake arrives
    bool mWoken{false};  // Wake was called and no WaitToTake has returned for it yet
};

}  // namespace System::Threading
