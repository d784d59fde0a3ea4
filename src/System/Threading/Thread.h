#pragma once

#include "System/Event.h"
#include "System/Threading/Monitor.h"

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <mutex>

namespace System::Threading {

// One POSIX thread whose body is the virtual Run. Stopping is cooperative: a body
// loops while GetThreadState() is nonzero and returns by itself. The monitor part is
// the thread's own lock, free for subclasses to guard their state with.
//
// REQUIRES: Start, Stop and the destructor of one Thread are called by one
// controlling thread at a time.
class Thread : public Monitor {
  public:
    Thread() = default;
    // Asks the body to stop and drops the handle without waiting (the system thread
    // is detached), then waits until the thread has left this object, so that a
    // thread whose body has returned can be destroyed at once.
    // REQUIRES: the body has returned or returns once the state reads 0; not called
    // on the thread itself.
    ~Thread() override;

    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // The body; the base body returns at once.
    virtual void Run() {}

    // Stops and joins a running body first, then creates a new thread running Run, with the
    // process's default thread attributes but a stack of its own size. Returns 0 on success,
    // else the error number of the thread creation (EAGAIN without memory for it), in which
    // case the state stays 0 and nothing is raised.
    int Start();
    // Sets the state to 0 (the request to stop) and wakes the body (Wake); with join,
    // waits until the body has returned and the thread has ended. Without join the
    // handle is dropped and the thread ends by itself.
    void Stop(bool join);
    // 1 from Start until Stop or the body's return, else 0. A body left running by
    // Stop(false) reads 0 here even after a new Start, so it never runs beside the
    // body of the new thread.
    [[nodiscard]] int GetThreadState() const;
    // Whether the caller is a system thread started on this object (its body, or
    // a handler the body raised), which cannot wait for itself.
    [[nodiscard]] bool IsCurrentThread() const;

    // Suspends the calling thread for the given number of MICROseconds.
    static void Sleep(unsigned int microseconds);

    // Kept for callers written against a scheduler that supports them: no effect.
    void SetPriority(int) {}
    void Suspend() {}
    void Resume() {}

    // Raised on the finishing thread itself once the body has returned and the state
    // is 0. Handlers must not join or destroy this thread.
    Event<Thread*> OnFinished;

  protected:
    // Called by Stop once the state reads 0, before any wait for the body: a body
    // that blocks until work arrives overrides it to wake itself, so that it sees the
    // request at once. The base does nothing.
    virtual void Wake() {}

  private:
    static void* RunProcess(void* launch);
    // pthread_create with a stack sized to the bodies' use, its handle in mHandle: 0 or the
    // error number.
    int CreateThread(void* launch);
    // Forgets the handle: joins it when join is set and this is not the thread
    // itself, otherwise detaches it.
    void ReleaseHandle(bool join);

    pthread_t mHandle{};
    bool mHasHandle{false};  // pthread_t has no null value of its own
    // The running bit (bit 0) and the number of the latest Start (the bits above);
    // written by Start, Stop and the finishing thread, read by the body.
    std::atomic<uint64_t> mState{0};
    // System threads started on this object that may still touch it.
    std::atomic<int32_t> mInside{0};
    // Held around each raise of OnFinished: the threads of two Starts overlap after a
    // Stop(false), and an event must not be raised by two threads at once.
    std::mutex mFinishing;
};

}  // namespace System::Threading
