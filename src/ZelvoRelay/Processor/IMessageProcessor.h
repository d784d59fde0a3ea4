#pragma once

#include <cstdint>

#include "System/Object.h"

namespace ZelvoRelay::Message {
class BaseMessage;
}

namespace ZelvoRelay::Processor {

// Handles the received messages of one type id; registered once in the message
// registry and called by the message worker.
class IMessageProcessor : public System::Object {
  public:
    // Acts on message, received from the client clientId. The caller keeps the
    // message and deletes it afterwards: a processor that relays it hands its bytes
    // on before returning and keeps no pointer to it.
    virtual void Process(Message::BaseMessage* message, uint32_t clientId) = 0;
};

}  // namespace ZelvoRelay::Processor
