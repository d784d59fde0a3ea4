#pragma once

#include <future>

#include "ZelvoRelay/Threading/MessageTask.h"

namespace ZelvoRelay::Threading {

// A point in the task queue for a stopping server: when the message worker reaches it,
// every task queued before it has been handled. Reaching it also ends the holds on
// uploaders, whose kept-back messages are handled then: at a stop no answer reaches a
// member any more, and a complete upload kept back behind its uploader's photo would
// otherwise never be made. The mark belongs to the thread that queued it, which waits
// for it; the worker never deletes it.
class StopMark : public MessageTask {
  public:
    StopMark();
    ~StopMark() override = default;

    // Ends the holds on uploaders and wakes the waiting thread. REQUIRES: on the message
    // worker, as it takes the mark off the queue.
    void Reach();
    // Waits until the message worker has reached the mark. REQUIRES: the mark is queued
    // and the message worker runs.
    void Wait();

  private:
    std::promise<void> mReached;
};

}  // namespace ZelvoRelay::Threading
