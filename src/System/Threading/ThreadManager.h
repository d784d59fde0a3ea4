#pragma once

#include "System/Collections/Vector.h"
#include "System/Event.h"
#include "System/EventManager.h"
#include "System/Object.h"
#include "System/Threading/Monitor.h"
#include "System/Threading/Thread.h"

#include <atomic>
#include <cstdint>

namespace System::Threading {

// A group of worker threads of one kind, created, started and stopped together.
// The manager owns its threads.
//
// REQUIRES: CreateThreads, Start, Stop, Suspend, Resume and the destructor are called
// by one controlling thread at a time.
class ThreadManager : public Object {
  public:
    ThreadManager() = default;
    // Deletes every thread of the group.
    // REQUIRES: the group was stopped with Stop(true) if its threads may still run.
    ~ThreadManager() override;

    ThreadManager(const ThreadManager&) = delete;
    ThreadManager& operator=(const ThreadManager&) = delete;

    // Makes the group hold exactly n threads of type T (a Thread with a default
    // constructor): new ones are appended, the ones beyond the first n deleted.
    // REQUIRES: the group is not running.
    template <typename T>
    void CreateThreads(unsigned int n) {
        while (mThreads.Count() < n) {
            Thread* thread = new T();
            mEvents.Add(thread->OnFinished, this, &ThreadManager::ThreadFinished);
            mThreads.Add(thread);
        }
        while (mThreads.Count() > n) {
            Thread* thread = mThreads[n];
            mEvents.Remove(thread->OnFinished);
            delete thread;
            mThreads.RemoveAt(n);
        }
    }

    // Counts every thread as running, then starts them in index order. Returns
    // whether all of them started; one that did not is not counted as running.
    virtual bool Start();
    // Ends the group silently (no finish events), then stops every thread in index
    // order, waiting for each when join is set.
    virtual void Stop(bool join);
    // Set and clear the suspended flag; the threads themselves are not affected.
    virtual void Suspend();
    virtual void Resume();

    // Subscribed to every thread's OnFinished; runs on the finishing thread.
    void ThreadFinished(Thread* thread);

    [[nodiscard]] unsigned int GetNumThread() const { return mThreads.Count(); }
    // Threads of the last Start that have not finished yet.
    [[nodiscard]] unsigned int GetNumRunning() const { return mRunning.load(); }
    [[nodiscard]] bool IsSuspended() const { return mSuspended.load(); }
    // The error number of the last thread that could not start in the last Start; 0
    // when all of them started.
    [[nodiscard]] int GetStartError() const { return mStartError; }
    // The thread at index, or null when index is not below GetNumThread().
    [[nodiscard]] Thread* GetThread(unsigned int index) const;

    // Raised, while the group is started, on the finishing thread: for each thread
    // that finishes, then once more when the last one has. The raises of one group
    // never overlap, so "all finished" comes after every "thread finished".
    // Handlers must not call Start of this manager.
    Event<> OnAllThreadsFinished;
    Event<Thread*> OnThreadFinished;

  private:
    // One fewer thread running. finished is the thread that finished, or null for
    // one that did not start; groupRan tells whether a thread of the group ran, so
    // that a group none of whose threads started never reports that all finished.
    // The events are raised only while the group is started.
    void CountFinished(Thread* finished, bool groupRan);

    std::atomic<uint32_t> mRunning{0};
    std::atomic<bool> mStarted{false};
    std::atomic<bool> mSuspended{false};
    int mStartError{0};  // set by Start, on the controlling thread
    // Taken by finishing threads around the count and the finish events, so that
    // concurrent finishes neither interleave their raises nor reorder them. Last in
    // the lock order apart from what the event handlers take.
    Monitor mFinishing;
    EventManager mEvents;  // the subscriptions to the threads' OnFinished
    Collections::Vector<Thread*> mThreads;
};

}  // namespace System::Threading
