#pragma once

#include "System/Threading/Thread.h"

namespace ZelvoRelay::Threading {

class MessageTask;

// Takes the tasks of the task queue one by one as they come, and sleeps while it is
// empty: a received message goes to the processor registered for its type, a message
// to send goes through RelayMessageEvent to the send queues. The worker deletes each
// task and its message afterwards. When stopped, it discards the tasks left in the
// queue.
class MessageThreadWorker : public System::Threading::Thread {
  public:
    MessageThreadWorker() = default;
    ~MessageThreadWorker() override = default;

    void Run() override;

  protected:
    void Wake() override;

  private:
    static void Handle(MessageTask* task);
};

}  // namespace ZelvoRelay::Threading
