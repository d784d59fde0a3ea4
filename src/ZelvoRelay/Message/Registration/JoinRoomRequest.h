#pragma once

#include <cstdint>

#include "System/String.h"
#include "ZelvoRelay/Message/BaseMessage.h"

namespace ZelvoRelay::Message::Registration {

// Type 100, client to server: asks to join the room. Payload: the user name (text),
// then the digest length d (1 byte: 32 with a password, 0 without) and 32 bytes
// holding the SHA-256 digest of the password when d is 32. The password never travels.
class JoinRoomRequest : public BaseMessage {
  public:
    static constexpr uint8_t MsgId = 100;
    static constexpr uint32_t DigestSize = 32;

    explicit JoinRoomRequest(const MessageBytes& bytes) : BaseMessage(bytes) {}
    // The digest bytes stay zero when password is empty.
    JoinRoomRequest(uint32_t clientId, const System::String& name, const System::String& password);

    // The user name; empty when it does not fit in the message.
    [[nodiscard]] System::String GetName() const;
    // The d raw digest bytes after the name; empty when the name or the d bytes do not
    // fit. A d other than 0 or 32 gives a digest that matches no account.
    [[nodiscard]] System::String GetPassword() const;
};

}  // namespace ZelvoRelay::Message::Registration
