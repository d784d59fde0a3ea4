#include "ZelvoRelay/Message/Media/AddMediaRequest.h"

#include "ZelvoRelay/Message/MessageWriter.h"

namespace ZelvoRelay::Message::Media {

AddMediaRequest::AddMediaRequest(uint32_t clientId, uint8_t requestId,
                                 const MVC::Model::MediaModel& item)
    : BaseMessage(6 + MessageWriter::TextSize(item.mTitle.mText), MsgId, clientId) {
    const auto& contents = item.mMediaGroup.mContents;
    MessageWriter writer(*this);
    writer.U8(requestId);
    writer.U8(static_cast<uint8_t>(item.mMediaType));
    writer.U32(contents.Count() > 0 ? static_cast<uint32_t>(contents[0].mFileSize) : 0);
    writer.Text(item.mTitle.mText);
}

}  // namespace ZelvoRelay::Message::Media
