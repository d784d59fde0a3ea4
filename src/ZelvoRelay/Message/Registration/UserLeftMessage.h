#pragma once

#include <cstdint>

#include "ZelvoRelay/Message/BaseMessage.h"

namespace ZelvoRelay::Message::Registration {

// Type 106, server to client: a user has left; the header's client id is that user's.
// No payload.
class UserLeftMessage : public BaseMessage {
  public:
    static constexpr uint8_t MsgId = 106;

    explicit UserLeftMessage(const MessageBytes& bytes) : BaseMessage(bytes) {}
    explicit UserLeftMessage(uint32_t clientId) : BaseMessage(0, MsgId, clientId) {}
};

}  // namespace ZelvoRelay::Message::Registration
