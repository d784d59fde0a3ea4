#pragma once

#include <cstdint>

#include "ZelvoRelay/Message/BaseMessage.h"

namespace ZelvoRelay::Message::Common {

// Type 1, server to client: tells a client that its request was refused. Payload: the
// error id (1 byte). The server sends it with client id 0.
class ErrorMessage : public BaseMessage {
  public:
    static constexpr uint8_t MsgId = 1;

    // The only error the server sends.
    enum ErrorId : uint8_t {
        NotRegistered = 1,  // the sender has not joined the room
    };

    explicit ErrorMessage(const MessageBytes& bytes) : BaseMessage(bytes) {}
    ErrorMessage(uint32_t clientId, uint8_t errorId);

    // The error id; 0 when missing.
    [[nodiscard]] uint8_t GetErrorId() const;
};

}  // namespace ZelvoRelay::Message::Common
