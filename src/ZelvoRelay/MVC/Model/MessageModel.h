#pragma once

#include <cstdint>

#include "System/Collections/Hash.h"
#include "System/Object.h"
#include "ZelvoRelay/Threading/MessageTaskQueue.h"

namespace ZelvoRelay::Message {
class IMessageConstructor;
}
namespace ZelvoRelay::Processor {
class IMessageProcessor;
}

namespace ZelvoRelay::MVC::Model {

// The relay's type registry, mapping each type id to the class that parses its
// messages and to the processor that handles them, and the queue of message tasks
// that the message worker serves, each connection in turn.
//
// The registries are filled by the constructor, before any relay thread runs, and
// only read afterwards, without a lock. The task queue has its own monitor, the last
// in the lock order: producers and the message worker hold it for one change only.
class MessageModel : public System::Object {
  public:
    // Every type id is below 255, so each one has a bucket of its own.
    static constexpr uint32_t BucketCount = 255;

    // Registers the message classes and processors of every type id.
    MessageModel();
    // Deletes the registered objects; tasks still queued are deleted with their
    // messages and post actions.
    ~MessageModel() override;

    MessageModel(const MessageModel&) = delete;
    MessageModel& operator=(const MessageModel&) = delete;

    // The constructor registered for the type id, or null.
    [[nodiscard]] Message::IMessageConstructor* GetConstructor(uint32_t typeId) const;
    // The processor registered for the type id, or null.
    [[nodiscard]] Processor::IMessageProcessor* GetProcessor(uint32_t typeId) const;

    // Takes every queued task off the queue and deletes it with its message and post
    // actions, unhandled.
    void DiscardTasks();

    // Type id -> constructor of its message class; owns the constructors.
    System::Collections::Hash<uint32_t, Message::IMessageConstructor*> mConstructors;
    // Type id -> processor of its received messages; owns the processors.
    System::Collections::Hash<uint32_t, Processor::IMessageProcessor*> mProcessors;
    // The tasks for the message worker, guarded by its own lock.
    Threading::MessageTaskQueue mTasks;

  private:
    // Registers message class M under its type id.
    template <class M>
    void AddMessage();
    // Registers processor P for the messages of class M.
    template <class M, class P>
    void AddProcessor();
};

}  // namespace ZelvoRelay::MVC::Model
