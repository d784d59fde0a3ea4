#pragma once

#include <future>

#include "ZelvoRelay/Threading/MessageTask.h"

namespace ZelvoRelay::Threading {

// A point in the task queue for a stopping server: when the message worker reaches it,
// every task queued before it has been handled. Reaching it also ends the holds on
// uploaders, whose kept-back messages are handled then: at a stop no answer reaches a
// member any more, and a complete upload kept back behind its uploader's photo would
// otherwise never be made. Queued, the mark is the queue's like any task, and whoever
// takes it off deletes it: the waiting thread keeps only its future.
class StopMark : public MessageTask {
  public:
    StopMark();
    ~StopMark() override = default;

    // Ready once the mark has been reached, or deleted unreached. Taken once, before the
    // mark is queued.
    [[nodiscard]] std::future<void> GetReached() { return mReached.get_future(); }
    // Ends the holds on uploaders and readies the future. REQUIRES: on the message
    // worker, as it takes the mark off the queue.
    void Reach();

  private:
    std::promise<void> mReached;
};

}  // namespace ZelvoRelay::Threading
