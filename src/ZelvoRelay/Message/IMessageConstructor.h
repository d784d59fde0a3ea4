#pragma once

#include "System/Object.h"
#include "ZelvoRelay/Message/BaseMessage.h"

namespace ZelvoRelay::Message {

// Builds the message class registered for one type id from received bytes.
class IMessageConstructor : public System::Object {
  public:
    // A new message owning a copy of the bytes, unchecked; the caller owns it.
    [[nodiscard]] virtual BaseMessage* Create(const MessageBytes& bytes) const = 0;
};

}  // namespace ZelvoRelay::Message
