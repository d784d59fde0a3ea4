#include "ZelvoRelay/Message/Voice/VoiceInitializationMessage.h"

#include "ZelvoRelay/Message/MessageReader.h"
#include "ZelvoRelay/Message/MessageWriter.h"

namespace ZelvoRelay::Message::Voice {

VoiceInitializationMessage::VoiceInitializationMessage(uint32_t clientId, uint32_t sampleRate,
                                                       uint8_t channels, uint8_t bitsPerSample,
                                                       uint8_t compression,
                                                       uint8_t compressionQuality)
    : BaseMessage(8, MsgId, clientId) {
    MessageWriter writer(*this);
    writer.U32(sampleRate);
    writer.U8(channels);
    writer.U8(bitsPerSample);
    writer.U8(compression);
    writer.U8(compressionQuality);
}

uint32_t VoiceInitializationMessage::GetSampleRate() const {
    return MessageReader(*this, 5).U32();
}

uint8_t VoiceInitializationMessage::GetChannels() const {
    return MessageReader(*this, 9).U8();
}

uint8_t VoiceInitializationMessage::GetBitsPerSample() const {
    return MessageReader(*this, 10).U8();
}

uint8_t VoiceInitializationMessage::GetCompression() const {
    return MessageReader(*this, 11).U8();
}

uint8_t VoiceInitializationMessage::GetCompressionQuality() const {
    return MessageReader(*this, 12).U8();
}

}  // namespace ZelvoRelay::Message::Voice
