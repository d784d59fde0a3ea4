#pragma once

#include "System/Threading/Thread.h"

namespace ZelvoRelay::Threading {

class MessageTask;

// Takes the tasks of the task queue one by one as they come, and sleeps while it is
// empty: a received message goes to the processor registered for its type, a message
// to send goes through RelayMessageEvent to the send queues. The worker deletes each
// task and its message afterwards; a StopMark it reaches is left to its owner. When
// stopped, it applies the photo outcomes left in the queue and discards the other tasks.
class MessageThreadWorker : public System::Threading::Thread {
  public:
    MessageThreadWorker() = default;
    ~MessageThreadWorker() override = default;

    void Run() override;

    // Handles one task taken off the queue and deletes it with its message, unless the
    // hold on uploaders takes it.
    static void Handle(MessageTask* task);

  protected:
    void Wake() override;
};

}  // namespace ZelvoRelay::Threading
