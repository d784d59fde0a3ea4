#pragma once

#include "System/Threading/Thread.h"

namespace ZelvoRelay::Threading {

class MessageTask;

// Drains the task queue in batches of up to ten tasks, each batch followed by a pause
// of one microsecond: a received message goes to the processor registered for its
// type, a message to send goes through RelayMessageEvent to the send queues. The
// worker deletes each task and its message afterwards. When stopped, it discards the
// tasks left in the queue.
class MessageThreadWorker : public System::Threading::Thread {
  public:
    static constexpr int kBatchSize = 10;

    MessageThreadWorker() = default;
    ~MessageThreadWorker() override = default;

    void Run() override;

    // Handles one task taken off the queue and deletes it with its message, unless the
    // hold on uploaders takes it.
    static void Handle(MessageTask* task);
};

}  // namespace ZelvoRelay::Threading
