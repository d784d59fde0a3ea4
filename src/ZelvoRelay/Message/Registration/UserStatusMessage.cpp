#include "ZelvoRelay/Message/Registration/UserStatusMessage.h"

#include "ZelvoRelay/Message/MessageReader.h"
#include "ZelvoRelay/Message/MessageWriter.h"

namespace ZelvoRelay::Message::Registration {

UserStatusMessage::UserStatusMessage(uint32_t clientId, MVC::Model::UserModel::UserStatus status)
    : BaseMessage(1, MsgId, clientId) {
    MessageWriter(*this).U8(status);
}

MVC::Model::UserModel::UserStatus UserStatusMessage::GetStatus() const {
    return MessageReader(*this).U8();
}

}  // namespace ZelvoRelay::Message::Registration
