#pragma once

#include <cstdint>

#include "ZelvoRelay/Message/BaseMessage.h"

namespace ZelvoRelay::Message::Registration {

// Type 101, server to client: the answer to a join. Payload: the error id (1 byte).
// An admission carries the joining client's own id, which is how a client learns it;
// a refusal carries client id 0 and the connection is closed once it has been sent.
class JoinRoomResponse : public BaseMessage {
  public:
    static constexpr uint8_t MsgId = 101;

    enum ErrorId : uint8_t {
        Admitted = 0,
        RoomFull = 1,
        EmptyName = 2,
        WrongPassword = 3,
        AccountDisabled = 4,
        AlreadyJoined = 5,
        // What GetErrorId answers when the message holds no error id.
        Missing = 6,
    };

    explicit JoinRoomResponse(const MessageBytes& bytes) : BaseMessage(bytes) {}
    JoinRoomResponse(uint32_t clientId, uint8_t errorId);

    // The error id; 6 when missing.
    [[nodiscard]] uint8_t GetErrorId() const;
};

}  // namespace ZelvoRelay::Message::Registration
