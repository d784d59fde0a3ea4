#pragma once

#include "System/Threading/Semaphore.h"
#include "System/Threading/Thread.h"
#include "System/Threading/ThreadQueue.h"

namespace ZelvoRelay::Threading {

class PhotoTask;

// Makes the previews of complete uploads, one at a time, off the message worker: a
// large photo takes seconds to decode and resize, and on the message worker it would
// hold up every message of the room. Each task, once its preview is made, goes to the
// task queue, where the message worker applies its outcome. The worker blocks while it
// has nothing to do; tasks left when it stops wait for the next start.
class PhotoThreadWorker : public System::Threading::Thread {
  public:
    PhotoThreadWorker() = default;
    // Deletes the tasks still waiting, unmade. REQUIRES: stopped.
    ~PhotoThreadWorker() override;

    // Appends task (owned by the worker until it is queued for the message worker)
    // and wakes the worker. Any thread.
    void Add(PhotoTask* task);

    void Run() override;
    void Wake() override;

  private:
    System::Threading::ThreadQueue<PhotoTask*> mTasks;  // waiting, in the order added
    // Released once for each task added and each stop, so that the worker sleeps
    // exactly while it has neither.
    System::Threading::Semaphore mWork;
};

}  // namespace ZelvoRelay::Threading
