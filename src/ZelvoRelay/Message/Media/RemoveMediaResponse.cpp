#include "ZelvoRelay/Message/Media/RemoveMediaResponse.h"

#include "ZelvoRelay/Message/MessageWriter.h"

namespace ZelvoRelay::Message::Media {

RemoveMediaResponse::RemoveMediaResponse(uint32_t clientId, ErrorType errorType, uint32_t mediaId)
    : BaseMessage(5, MsgId, clientId) {
    MessageWriter writer(*this);
    writer.U8(errorType);
    writer.U32(mediaId);
}

}  // namespace ZelvoRelay::Message::Media
