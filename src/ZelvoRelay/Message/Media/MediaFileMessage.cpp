#include "ZelvoRelay/Message/Media/MediaFileMessage.h"

#include "ZelvoRelay/Message/MessageWriter.h"

namespace ZelvoRelay::Message::Media {

MediaFileMessage::MediaFileMessage(uint8_t type, uint32_t clientId, uint32_t mediaId,
                                   uint8_t resourceId)
    : BaseMessage(5, type, clientId) {
    MessageWriter writer(*this);
    writer.U32(mediaId);
    writer.U8(resourceId);
}

}  // namespace ZelvoRelay::Message::Media
