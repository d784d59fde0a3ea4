#pragma once

#include <atomic>
#include <cstdint>

#include "System/Threading/Thread.h"
#include "ZelvoRelay/Threading/StopDiscard.h"

namespace ZelvoRelay::Client {
class QueueShare;
}
namespace ZelvoRelay::Processor {
class IMessageProcessor;
}

namespace ZelvoRelay::Threading {

class MessageTask;

// Takes the tasks of the task queue one by one, each connection in turn, and sleeps while
// it is empty: a received message goes to the processor registered for its type, a message
// to send goes through RelayMessageEvent to the send queues. The worker deletes each
// task and its message afterwards. At a stop it handles only what changes what the
// server stores (EndAnswers); once stopped, it applies the photo outcomes left in the
// queue and discards the other tasks.
class MessageThreadWorker : public System::Threading::Thread {
  public:
    MessageThreadWorker() = default;
    ~MessageThreadWorker() override = default;

    void Run() override;

    // The next task to serve, waiting while none but parked ones waits; null when woken
    // (by Stop) meanwhile.
    [[nodiscard]] MessageTask* Next();
    // Handles task, just taken off the queue, as Handle does, then appends the frames held
    // for the room to their recipients' send queues unless task held one.
    void Serve(MessageTask* task);
    // Handles one task taken off the queue and deletes it with its message, unless the
    // hold on uploaders takes it.
    void Handle(MessageTask* task);

    // At a stop, once no member can be sent anything any more: from now on a received
    // message is handled only when it changes what the server stores, and the others
    // and every message to send are dropped unhandled, since nobody is left to receive
    // their answers. What members piled up then costs the stop little more than its
    // reading; requests parked for want of room are taken again, to be dropped. Any thread.
    void EndAnswers();
    // Handles every message again, for a new start. REQUIRES: the worker is not running.
    void ResumeAnswers() { mAnswering.store(true); }
    // Asked before each received message handled after EndAnswers: a message it discards
    // is dropped unhandled (an upload it belonged to ends without an item).
    StopDiscard& GetStopDiscard() { return mStopDiscard; }

  protected:
    void Wake() override;

  private:
    // After EndAnswers: whether a task is still handled, given the processor of the
    // message it received (null for a message to send or one no processor takes).
    [[nodiscard]] bool IsStillWanted(const Processor::IMessageProcessor* processor) const;
    // Takes bytes, what the answer to task may hold, from share, its sender's address's,
    // before the answer is made; false when the share has no room, the sender's turns then
    // parked until it has.
    [[nodiscard]] bool Reserve(MessageTask* task, Client::QueueShare& share, uint64_t bytes);

    std::atomic<bool> mAnswering{true};  // false from EndAnswers on
    StopDiscard mStopDiscard;            // see GetStopDiscard
};

}  // namespace ZelvoRelay::Threading
