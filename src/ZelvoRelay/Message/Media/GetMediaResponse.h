#pragma once

#include <cstdint>

#include "ZelvoRelay/Message/BaseMessage.h"
#include "ZelvoRelay/Message/MessageReader.h"

namespace ZelvoRelay::Message::Media {

// Type 153, server to client, with the requester's id: the answer to GetMediaRequest.
// Payload: the error type (1 byte), the media id and the resource id as requested (4 and 1
// bytes). On acceptance the file follows as MediaChunkMessages.
class GetMediaResponse : public BaseMessage {
  public:
    static constexpr uint8_t MsgId = 153;

    enum ErrorType : uint8_t {
        Accepted = 0,            // the chunks follow
        AlreadyDownloading = 1,  // this client is already fetching this file
        NotFound = 2,            // no such item, or its file cannot be read
        // What GetErrorType answers when the message holds no error type.
        Missing = 3,
    };

    explicit GetMediaResponse(const MessageBytes& bytes) : BaseMessage(bytes) {}
    GetMediaResponse(uint32_t clientId, ErrorType errorType, uint32_t mediaId, uint8_t resourceId);

    // The error type; Missing when missing.
    [[nodiscard]] ErrorType GetErrorType() const {
        return static_cast<ErrorType>(MessageReader(*this, 5).U8(Missing));
    }
    // The media id; 0 when missing.
    [[nodiscard]] uint32_t GetMediaId() const { return MessageReader(*this, 6).U32(); }
    // The resource id; 0 when missing.
    [[nodiscard]] uint8_t GetResourceId() const { return MessageReader(*this, 10).U8(); }
};

}  // namespace ZelvoRelay::Message::Media
