#pragma once

#include <cstdint>

#include "ZelvoRelay/Message/Media/MediaFileMessage.h"

namespace ZelvoRelay::Message::Media {

// Type 152, client to server: asks for one file of an item, to be sent in chunks.
class GetMediaRequest : public MediaFileMessage {
  public:
    static constexpr uint8_t MsgId = 152;

    explicit GetMediaRequest(const MessageBytes& bytes) : MediaFileMessage(bytes) {}
    GetMediaRequest(uint32_t clientId, uint32_t mediaId, uint8_t resourceId)
        : MediaFileMessage(MsgId, clientId, mediaId, resourceId) {}
};

}  // namespace ZelvoRelay::Message::Media
