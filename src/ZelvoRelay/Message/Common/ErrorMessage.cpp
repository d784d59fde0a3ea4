#include "ZelvoRelay/Message/Common/ErrorMessage.h"

#include "ZelvoRelay/Message/MessageReader.h"
#include "ZelvoRelay/Message/MessageWriter.h"

namespace ZelvoRelay::Message::Common {

ErrorMessage::ErrorMessage(uint32_t clientId, uint8_t errorId) : BaseMessage(1, MsgId, clientId) {
    MessageWriter(*this).U8(errorId);
}

uint8_t ErrorMessage::GetErrorId() const {
    return MessageReader(*this).U8();
}

}  // namespace ZelvoRelay::Message::Common
