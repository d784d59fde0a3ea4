#include "ZelvoRelay/Message/Registration/JoinRoomResponse.h"

#include "ZelvoRelay/Message/MessageReader.h"
#include "ZelvoRelay/Message/MessageWriter.h"

namespace ZelvoRelay::Message::Registration {

JoinRoomResponse::JoinRoomResponse(uint32_t clientId, uint8_t errorId)
    : BaseMessage(1, MsgId, clientId) {
    MessageWriter(*this).U8(errorId);
}

uint8_t JoinRoomResponse::GetErrorId() const {
    return MessageReader(*this).U8(Missing);
}

}  // namespace ZelvoRelay::Message::Registration
