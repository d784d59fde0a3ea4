#pragma once

#include <atomic>
#include <cstdint>

#include "System/Threading/Thread.h"
#include "System/Threading/ThreadQueue.h"
#include "ZelvoRelay/Threading/StopDiscard.h"

namespace ZelvoRelay::Threading {

class PhotoTask;

// Makes the previews of complete uploads, one at a time, off the message worker: a
// large photo takes seconds to decode and resize, and on the message worker it would
// hold up every message of the room. Each task, once its preview is made, goes to the
// task queue, where the message worker applies its outcome. The worker blocks while it
// has nothing to do. Asked to stop, it first makes every photo already waiting, so that
// each complete upload still becomes an item, unless its StopDiscard says the photos are
// no longer wanted; tasks added while it is stopped wait for the next start.
class PhotoThreadWorker : public System::Threading::Thread {
  public:
    PhotoThreadWorker() = default;
    // Deletes the tasks still waiting, unmade. REQUIRES: stopped.
    ~PhotoThreadWorker() override;

    // Appends task (owned by the worker until it is queued for the message worker)
    // and wakes the worker. Any thread.
    void Add(PhotoTask* task);
    // The photos the worker makes before it stops when asked to now: those waiting and
    // the one being made; 0 when it is not running. Any thread.
    [[nodiscard]] uint32_t GetNumToMake() const;
    // Asked before each photo: a photo it discards is not made, and its upload ends
    // without an item.
    StopDiscard& GetStopDiscard() { return mStopDiscard; }

    void Run() override;

  protected:
    void Wake() override;

  private:
    // Makes task's photo, or discards it, and hands the task to the message worker.
    void Make(PhotoTask* task);
    // Queues task for the message worker to apply its outcome; when memory runs out for
    // that, the photo fails and its failure is queued instead.
    void HandBack(PhotoTask* task);

    System::Threading::ThreadQueue<PhotoTask*> mTasks;  // waiting, in the order added
    std::atomic<uint32_t> mPending{0};  // added and not yet handed on: waiting or being made
    StopDiscard mStopDiscard;           // see GetStopDiscard
};

}  // namespace ZelvoRelay::Threading
