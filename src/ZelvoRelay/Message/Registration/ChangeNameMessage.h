#pragma once

#include <cstdint>

#include "System/String.h"
#include "ZelvoRelay/Message/BaseMessage.h"

namespace ZelvoRelay::Message::Registration {

// Type 104, client to server, relayed to the room: the sender's new name.
// Payload: the name (text).
class ChangeNameMessage : public BaseMessage {
  public:
    static constexpr uint8_t MsgId = 104;

    explicit ChangeNameMessage(const MessageBytes& bytes) : BaseMessage(bytes) {}
    ChangeNameMessage(uint32_t clientId, const System::String& name);

    // The new name; empty when it does not fit in the message.
    [[nodiscard]] System::String GetName() const;
};

}  // namespace ZelvoRelay::Message::Registration
