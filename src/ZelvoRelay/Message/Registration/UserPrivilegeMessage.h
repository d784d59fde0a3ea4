#pragma once

#include <cstdint>

#include "System/Collections/Vector.h"
#include "ZelvoRelay/MVC/Model/UserModel.h"
#include "ZelvoRelay/MVC/Model/UserPrivilegeModel.h"
#include "ZelvoRelay/Message/BaseMessage.h"

namespace ZelvoRelay::Message::Registration {

// Type 105, server to client: the group and rights of a client that has just joined.
// Payload: the group (1 byte), the number of pairs c (1 byte), then c pairs of a
// privilege byte and an access-right byte.
class UserPrivilegeMessage : public BaseMessage {
  public:
    static constexpr uint8_t MsgId = 105;

    explicit UserPrivilegeMessage(const MessageBytes& bytes) : BaseMessage(bytes) {}
    // One pair per element of privileges, in order.
    UserPrivilegeMessage(
        uint32_t clientId, MVC::Model::UserModel::UserGroup group,
        const System::Collections::Vector<MVC::Model::UserPrivilegeModel>& privileges);

    // The group; User when it is missing.
    [[nodiscard]] MVC::Model::UserModel::UserGroup GetUserGroup() const;
    // The pairs in message order: at most c, and only those wholly inside the message.
    [[nodiscard]] System::Collections::Vector<MVC::Model::UserPrivilegeModel> GetPrivileges() const;
};

}  // namespace ZelvoRelay::Message::Registration
