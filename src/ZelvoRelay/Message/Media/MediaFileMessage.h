#pragma once

#include <cstdint>

#include "ZelvoRelay/Message/BaseMessage.h"
#include "ZelvoRelay/Message/MessageReader.h"

namespace ZelvoRelay::Message::Media {

// A request naming one file of an item. Payload: the media id (4 bytes), the resource id (1
// byte: 0 the photo, 1 its preview).
class MediaFileMessage : public BaseMessage {
  public:
    explicit MediaFileMessage(const MessageBytes& bytes) : BaseMessage(bytes) {}
    MediaFileMessage(uint8_t type, uint32_t clientId, uint32_t mediaId, uint8_t resourceId);

    // The media id; 0 when missing.
    [[nodiscard]] uint32_t GetMediaId() const { return MessageReader(*this, 5).U32(); }
    // The resource id; 0 when missing.
    [[nodiscard]] uint8_t GetResourceId() const { return MessageReader(*this, 9).U8(); }
};

}  // namespace ZelvoRelay::Message::Media
