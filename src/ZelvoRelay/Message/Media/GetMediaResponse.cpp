#include "ZelvoRelay/Message/Media/GetMediaResponse.h"

#include "ZelvoRelay/Message/MessageWriter.h"

namespace ZelvoRelay::Message::Media {

GetMediaResponse::GetMediaResponse(uint32_t clientId, ErrorType errorType, uint32_t mediaId,
                                   uint8_t resourceId)
    : BaseMessage(6, MsgId, clientId) {
    MessageWriter writer(*this);
    writer.U8(errorType);
    writer.U32(mediaId);
    writer.U8(resourceId);
}

}  // namespace ZelvoRelay::Message::Media
