#include "ZelvoRelay/Message/Media/RemoveMediaRequest.h"

#include "ZelvoRelay/Message/MessageWriter.h"

namespace ZelvoRelay::Message::Media {

RemoveMediaRequest::RemoveMediaRequest(uint32_t clientId, uint32_t mediaId)
    : BaseMessage(4, MsgId, clientId) {
    MessageWriter writer(*this);
    writer.U32(mediaId);
}

}  // namespace ZelvoRelay::Message::Media
