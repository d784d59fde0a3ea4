#include "ZelvoRelay/Message/Voice/VoiceDataMessage.h"

#include "ZelvoRelay/Message/MessageReader.h"
#include "ZelvoRelay/Message/MessageWriter.h"

namespace ZelvoRelay::Message::Voice {

namespace {

constexpr int32_t DataOffset = 8;

}  // namespace

VoiceDataMessage::VoiceDataMessage(uint32_t clientId, uint8_t sequenceId, uint16_t size,
                                   const char* data)
    : BaseMessage(3u + size, MsgId, clientId) {
    MessageWriter writer(*this);
    writer.U8(sequenceId);
    writer.U16(size);
    writer.Bytes(data, size);
}

uint8_t VoiceDataMessage::GetSequenceId() const {
    return MessageReader(*this, 5).U8();
}

uint16_t VoiceDataMessage::GetVoiceDataSize() const {
    return MessageReader(*this, 6).U16();
}

const char* VoiceDataMessage::GetVoiceData() const {
    return GetMsgSize() > DataOffset ? GetMsg() + DataOffset : nullptr;
}

}  // namespace ZelvoRelay::Message::Voice
