#include "ZelvoRelay/Message/Media/AddMediaResponse.h"

#include "ZelvoRelay/Message/MessageWriter.h"

namespace ZelvoRelay::Message::Media {

AddMediaResponse::AddMediaResponse(uint32_t clientId, uint8_t requestId, ErrorType errorType,
                                   uint32_t mediaId)
    : BaseMessage(6, MsgId, clientId) {
    MessageWriter writer(*this);
    writer.U8(requestId);
    writer.U8(errorType);
    writer.U32(mediaId);
}

}  // namespace ZelvoRelay::Message::Media
