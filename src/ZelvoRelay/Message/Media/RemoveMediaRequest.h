#pragma once

#include <cstdint>

#include "ZelvoRelay/Message/BaseMessage.h"
#include "ZelvoRelay/Message/MessageReader.h"

namespace ZelvoRelay::Message::Media {

// Type 159, client to server: asks to remove an item. Payload: the media id (4 bytes;
// 0xFFFFFFFF names every item).
class RemoveMediaRequest : public BaseMessage {
  public:
    static constexpr uint8_t MsgId = 159;

    explicit RemoveMediaRequest(const MessageBytes& bytes) : BaseMessage(bytes) {}
    RemoveMediaRequest(uint32_t clientId, uint32_t mediaId);

    // The media id; 0 when missing.
    [[nodiscard]] uint32_t GetMediaId() const { return MessageReader(*this, 5).U32(); }
};

}  // namespace ZelvoRelay::Message::Media
