#include "ZelvoRelay/Message/Media/MediaChunkMessage.h"

#include <algorithm>

#include "ZelvoRelay/Message/MessageWriter.h"

namespace ZelvoRelay::Message::Media {

MediaChunkMessage::MediaChunkMessage(uint32_t clientId, uint32_t mediaId, uint8_t resourceId,
                                     uint32_t chunkOffset, uint16_t size, const char* data)
    : BaseMessage(11u + size, MsgId, clientId) {
    MessageWriter writer(*this);
    writer.U32(mediaId);
    writer.U8(resourceId);
    writer.U32(chunkOffset);
    writer.U16(size);
    writer.Bytes(data, size);
}

uint32_t MediaChunkMessage::GetChunkDataLength() const {
    const int32_t present = std::max(GetMsgSize() - DataOffset, 0);
    return std::min<uint32_t>(GetChunkSize(), static_cast<uint32_t>(present));
}

}  // namespace ZelvoRelay::Message::Media
