#pragma once

#include <cstdint>

#include "ZelvoRelay/MVC/Model/UserModel.h"
#include "ZelvoRelay/Message/BaseMessage.h"

namespace ZelvoRelay::Message::Registration {

// Type 103, client to server, relayed to the room: the sender's new status.
// Payload: the status (1 byte), a value of the clients' own choosing.
class UserStatusMessage : public BaseMessage {
  public:
    static constexpr uint8_t MsgId = 103;

    explicit UserStatusMessage(const MessageBytes& bytes) : BaseMessage(bytes) {}
    UserStatusMessage(uint32_t clientId, MVC::Model::UserModel::UserStatus status);

    // The status; 0 when missing.
    [[nodiscard]] MVC::Model::UserModel::UserStatus GetStatus() const;
};

}  // namespace ZelvoRelay::Message::Registration
