#pragma once

#include <cstdint>

#include "System/String.h"
#include "ZelvoRelay/MVC/Model/UserModel.h"
#include "ZelvoRelay/Message/BaseMessage.h"

namespace ZelvoRelay::Message::Registration {

// Type 102, server to client: a user of the room, carrying that user's client id.
// Payload: the user's name (text), then its group (1 byte).
class UserJoinedMessage : public BaseMessage {
  public:
    static constexpr uint8_t MsgId = 102;

    explicit UserJoinedMessage(const MessageBytes& bytes) : BaseMessage(bytes) {}
    // Reads the user's Name and Group.
    UserJoinedMessage(uint32_t clientId, const MVC::Model::UserModel& user);

    // The name; empty when it does not fit in the message.
    [[nodiscard]] System::String GetName() const;
    // The group; User when it is missing.
    [[nodiscard]] MVC::Model::UserModel::UserGroup GetUserGroup() const;
};

}  // namespace ZelvoRelay::Message::Registration
