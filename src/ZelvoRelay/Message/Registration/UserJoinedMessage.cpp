#include "ZelvoRelay/Message/Registration/UserJoinedMessage.h"

#include "ZelvoRelay/Message/MessageReader.h"
#include "ZelvoRelay/Message/MessageWriter.h"

namespace ZelvoRelay::Message::Registration {

using MVC::Model::UserModel;

UserJoinedMessage::UserJoinedMessage(uint32_t clientId, const UserModel& user)
    : BaseMessage(MessageWriter::TextSize(user.Name.mValue) + 1, MsgId, clientId) {
    MessageWriter writer(*this);
    writer.Text(user.Name.mValue);
    writer.U8(static_cast<uint8_t>(user.Group.mValue));
}

System::String UserJoinedMessage::GetName() const {
    return MessageReader(*this).Text();
}

UserModel::UserGroup UserJoinedMessage::GetUserGroup() const {
    MessageReader reader(*this);
    reader.SkipText();
    return static_cast<UserModel::UserGroup>(
        reader.U8(static_cast<uint8_t>(UserModel::UserGroup::User)));
}

}  // namespace ZelvoRelay::Message::Registration
