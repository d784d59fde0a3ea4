#include "ZelvoRelay/Message/Media/GetMediaInfoRequest.h"

#include "ZelvoRelay/Message/MessageWriter.h"

namespace ZelvoRelay::Message::Media {

GetMediaInfoRequest::GetMediaInfoRequest(uint32_t clientId, uint32_t startId, uint8_t count)
    : BaseMessage(5, MsgId, clientId) {
    MessageWriter writer(*this);
    writer.U32(startId);
    writer.U8(count);
}

}  // namespace ZelvoRelay::Message::Media
