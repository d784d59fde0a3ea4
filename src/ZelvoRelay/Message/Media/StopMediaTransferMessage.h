#pragma once

#include <cstdint>

#include "ZelvoRelay/Message/Media/MediaFileMessage.h"

namespace ZelvoRelay::Message::Media {

// Type 157, client to server: abandons the sender's upload of one file of an item.
class StopMediaTransferMessage : public MediaFileMessage {
  public:
    static constexpr uint8_t MsgId = 157;

    explicit StopMediaTransferMessage(const MessageBytes& bytes) : MediaFileMessage(bytes) {}
    StopMediaTransferMessage(uint32_t clientId, uint32_t mediaId, uint8_t resourceId)
        : MediaFileMessage(MsgId, clientId, mediaId, resourceId) {}
};

}  // namespace ZelvoRelay::Message::Media
