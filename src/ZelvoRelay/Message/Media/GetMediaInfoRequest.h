#pragma once

#include <cstdint>

#include "ZelvoRelay/Message/BaseMessage.h"
#include "ZelvoRelay/Message/MessageReader.h"

namespace ZelvoRelay::Message::Media {

// Type 150, client to server: asks for a page of the catalogue. Payload: the media id at
// which the listing starts (4 bytes; 0xFFFFFFFF starts at the newest item), then the number
// of items wanted (1 byte).
class GetMediaInfoRequest : public BaseMessage {
  public:
    static constexpr uint8_t MsgId = 150;

    explicit GetMediaInfoRequest(const MessageBytes& bytes) : BaseMessage(bytes) {}
    GetMediaInfoRequest(uint32_t clientId, uint32_t startId, uint8_t count);

    // The start id; 0 when missing.
    [[nodiscard]] uint32_t GetStartId() const { return MessageReader(*this, 5).U32(); }
    // The number of items wanted; 0 when missing.
    [[nodiscard]] uint8_t GetCount() const { return MessageReader(*this, 9).U8(); }
};

}  // namespace ZelvoRelay::Message::Media
