#pragma once

#include <cstdint>

#include "ZelvoRelay/Message/BaseMessage.h"
#include "ZelvoRelay/Message/MessageReader.h"

namespace ZelvoRelay::Message::Media {

// Type 160, server to client, with the requester's id: the answer to RemoveMediaRequest.
// Payload: the error type (1 byte), the media id as requested (4 bytes).
class RemoveMediaResponse : public BaseMessage {
  public:
    static constexpr uint8_t MsgId = 160;

    enum ErrorType : uint8_t {
        Removed = 0,     // the item was there and is gone
        NotAllowed = 1,  // the sender lacks the right to delete photos
        NotFound = 2,    // no item has this id
        // What GetErrorType answers when the message holds no error type.
        Missing = 3,
    };

    explicit RemoveMediaResponse(const MessageBytes& bytes) : BaseMessage(bytes) {}
    RemoveMediaResponse(uint32_t clientId, ErrorType errorType, uint32_t mediaId);

    // The error type; Missing when missing.
    [[nodiscard]] ErrorType GetErrorType() const {
        return static_cast<ErrorType>(MessageReader(*this, 5).U8(Missing));
    }
    // The media id; 0 when missing.
    [[nodiscard]] uint32_t GetMediaId() const { return MessageReader(*this, 6).U32(); }
};

}  // namespace ZelvoRelay::Message::Media
