#pragma once

#include <cstdint>

#include "System/String.h"
#include "ZelvoRelay/Message/BaseMessage.h"

namespace ZelvoRelay::Message::Chat {

// Type 50, client to server, relayed whole to the room with the sender's id stamped
// in. Payload: the chat text (text).
class ChatMessage : public BaseMessage {
  public:
    static constexpr uint8_t MsgId = 50;

    explicit ChatMessage(const MessageBytes& bytes) : BaseMessage(bytes) {}
    ChatMessage(uint32_t clientId, const System::String& text);

    // The chat text; empty when it does not fit in the message.
    [[nodiscard]] System::String GetMessage() const;
};

}  // namespace ZelvoRelay::Message::Chat
