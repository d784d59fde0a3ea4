#pragma once

#include <cstdint>

#include "System/Object.h"
#include "ZelvoRelay/Message/BaseMessage.h"

namespace ZelvoRelay::MVC::Model {
class MessageModel;
}

namespace ZelvoRelay::Message {

// Turns the bytes of one received message into an object of the class that the
// registry holds for its first byte, the type id. Built on the stack by the receiver.
class MessageFactory : public System::Object {
  public:
    // REQUIRES: messages outlives the factory. The relay passes the registry of its
    // model (ZelvoRelayModel::Instance()->Messages).
    explicit MessageFactory(const MVC::Model::MessageModel& messages) : mMessages(messages) {}

    // A new message of the registered class owning a copy of the size bytes at data;
    // null when size is below 1 or the type id has no registered class. The caller
    // owns the result.
    [[nodiscard]] BaseMessage* CreateMessage(const char* data, int32_t size) const;

  private:
    const MVC::Model::MessageModel& mMessages;  // the type registry; not owned
};

}  // namespace ZelvoRelay::Message
