#pragma once

#include <cstdint>

#include "ZelvoRelay/Message/BaseMessage.h"

namespace ZelvoRelay::Message::Voice {

// Type 10, server to client: the voice format of the room, sent to a client that has
// just joined with its own id. Payload: sample rate (4 bytes), channels, bits per
// sample, compression kind and compression quality (1 byte each).
class VoiceInitializationMessage : public BaseMessage {
  public:
    static constexpr uint8_t MsgId = 10;

    explicit VoiceInitializationMessage(const MessageBytes& bytes) : BaseMessage(bytes) {}
    VoiceInitializationMessage(uint32_t clientId, uint32_t sampleRate, uint8_t channels,
                               uint8_t bitsPerSample, uint8_t compression,
                               uint8_t compressionQuality);

    // Each field, or 0 when missing.
    [[nodiscard]] uint32_t GetSampleRate() const;
    [[nodiscard]] uint8_t GetChannels() const;
    [[nodiscard]] uint8_t GetBitsPerSample() const;
    [[nodiscard]] uint8_t GetCompression() const;
    [[nodiscard]] uint8_t GetCompressionQuality() const;
};

}  // namespace ZelvoRelay::Message::Voice
