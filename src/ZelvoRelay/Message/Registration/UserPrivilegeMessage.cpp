#include "ZelvoRelay/Message/Registration/UserPrivilegeMessage.h"

#include <algorithm>

#include "ZelvoRelay/Message/MessageReader.h"
#include "ZelvoRelay/Message/MessageWriter.h"

namespace ZelvoRelay::Message::Registration {

using MVC::Model::UserModel;
using MVC::Model::UserPrivilegeModel;
using PrivilegeList = System::Collections::Vector<UserPrivilegeModel>;

namespace {

// The pairs a message can count in its one count byte.
uint32_t PairCount(const PrivilegeList& privileges) {
    return std::min<uint32_t>(privileges.Count(), UINT8_MAX);
}

}  // namespace

UserPrivilegeMessage::UserPrivilegeMessage(uint32_t clientId, UserModel::UserGroup group,
                                           const PrivilegeList& privileges)
    : BaseMessage(2 + 2 * PairCount(privileges), MsgId, clientId) {
    MessageWriter writer(*this);
    writer.U8(static_cast<uint8_t>(group));
    const uint32_t count = PairCount(privileges);
    writer.U8(static_cast<uint8_t>(count));
    for (uint32_t i = 0; i < count; ++i) {
        writer.U8(static_cast<uint8_t>(privileges[i].Privilege));
        writer.U8(static_cast<uint8_t>(privileges[i].Right));
    }
}

UserModel::UserGroup UserPrivilegeMessage::GetUserGroup() const {
    return static_cast<UserModel::UserGroup>(
        MessageReader(*this, 5).U8(static_cast<uint8_t>(UserModel::UserGroup::User)));
}

PrivilegeList UserPrivilegeMessage::GetPrivileges() const {
    PrivilegeList privileges;
    MessageReader reader(*this, 6);
    const uint32_t count = reader.U8();
    for (uint32_t i = 0; i < count; ++i) {
        const char* pair = reader.Bytes(2);
        if (pair == nullptr) {
            break;
        }
        privileges.Add(UserPrivilegeModel(
            static_cast<UserPrivilegeModel::UserPrivilege>(static_cast<uint8_t>(pair[0])),
            static_cast<UserPrivilegeModel::AccessRight>(static_cast<uint8_t>(pair[1]))));
    }
    return privileges;
}

}  // namespace ZelvoRelay::Message::Registration
