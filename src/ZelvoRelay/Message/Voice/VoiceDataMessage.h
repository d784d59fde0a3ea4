#pragma once

#include <cstdint>

#include "ZelvoRelay/Message/BaseMessage.h"

namespace ZelvoRelay::Message::Voice {

// Type 11, client to server, relayed whole to the room with the sender's id stamped
// in. Payload: sequence id (1 byte), voice data size n (2 bytes), n bytes of voice data.
// The size field is not checked against the bytes present.
class VoiceDataMessage : public BaseMessage {
  public:
    static constexpr uint8_t MsgId = 11;

    explicit VoiceDataMessage(const MessageBytes& bytes) : BaseMessage(bytes) {}
    // Copies size bytes of data, which may be null when size is 0.
    VoiceDataMessage(uint32_t clientId, uint8_t sequenceId, uint16_t size, const char* data);

    // The sequence id; 0 when missing.
    [[nodiscard]] uint8_t GetSequenceId() const;
    // The declared data size; 0 when missing. The bytes present may be fewer: read at
    // most min(GetVoiceDataSize(), GetMsgSize() - 8) bytes of GetVoiceData().
    [[nodiscard]] uint16_t GetVoiceDataSize() const;
    // The data at offset 8; null when the message has fewer than 9 bytes.
    [[nodiscard]] const char* GetVoiceData() const;
};

}  // namespace ZelvoRelay::Message::Voice
