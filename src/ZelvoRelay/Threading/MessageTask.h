#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "System/Collections/Vector.h"
#include "System/Object.h"

namespace ZelvoRelay::Client {
class QueueShare;
}
namespace ZelvoRelay::Message {
class BaseMessage;
}
namespace ZelvoRelay::PostAction {
class IPostAction;
}

namespace ZelvoRelay::Threading {

class ReceiveBacklog;

// The unit of work of the message worker: a message received from a client, to be
// handed to its processor, or a message to send to one client or to the room.
// The task owns nothing: whoever takes it off the task queue deletes its message
// after handling it, and the routing command takes over its post actions.
class MessageTask : public System::Object {
  public:
    // A message received from the client senderId.
    MessageTask(ZelvoRelay::Message::BaseMessage* message, uint32_t senderId);
    // A message to send to the client targetId, or to the room when targetId is 0,
    // leaving out the client senderId.
    MessageTask(ZelvoRelay::Message::BaseMessage* message, uint32_t targetId, uint32_t senderId);
    // Counts the task out of the backlog given to CountIn, if any, and gives back the bytes
    // kept with it (MessageTaskQueue::KeepUntilServed).
    ~MessageTask() override;

    MessageTask(const MessageTask&) = delete;
    MessageTask& operator=(const MessageTask&) = delete;

    // Counts the task in backlog for as long as it lives: a relay client is not read
    // while too many of its received messages wait for the message worker.
    void CountIn(std::shared_ptr<ReceiveBacklog> backlog);

    // Whether the client that sent this received message can no longer be sent anything.
    [[nodiscard]] bool IsSenderGone() const;
    // The share that answers to the sender of this received message are taken from; null
    // when the sender has joined or counts in none.
    [[nodiscard]] std::shared_ptr<Client::QueueShare> GetSenderShare() const;

    // Deletes a task that will never be handled, with its message and post actions.
    void Discard();

    // The connection in whose turn the task is handled: the sender of a received message,
    // and of a message to the room on its behalf (the notice of its leaving), which so comes
    // after everything it sent; MessageTaskQueue::kServer for anything else (answers, photo
    // outcomes, marks).
    [[nodiscard]] uint32_t GetTurnOf() const;

    ZelvoRelay::Message::BaseMessage* Message;  // the message; not owned
    bool IsIncoming;                            // received (true) or to send (false)
    uint32_t TargetId;  // outgoing: the client to send to, 0 for the room; incoming: 0
    uint32_t SenderId;  // incoming: the sender; outgoing to the room: the client left out
    // Outgoing to the room: only the members among the first AdmittedBy admissions are sent
    // it, those told of the connection it is about.
    uint64_t AdmittedBy{UINT64_MAX};
    // Run once the message has been fully sent to a client; empty unless a producer
    // adds some after construction. Not owned.
    System::Collections::Vector<ZelvoRelay::PostAction::IPostAction*> PostActions;

  private:
    friend class MessageTaskQueue;

    // Bytes of a share given back when the task is deleted.
    struct Kept {
        std::shared_ptr<Client::QueueShare> mShare;
        uint64_t mBytes;
    };

    // The backlog this task is in until it is deleted; null for a task counted nowhere.
    std::shared_ptr<ReceiveBacklog> mBacklog;
    // The next task of the same line while queued; null otherwise. Guarded by the queue.
    MessageTask* mNextQueued{nullptr};
    // Queued to be taken once no connection has a task waiting. Guarded by the queue.
    bool mAfterAll{false};
    // Given back when the task is deleted. Set under the queue's lock while the task is queued.
    std::vector<Kept> mKept;
};

}  // namespace ZelvoRelay::Threading
