#pragma once

#include <cstdint>

#include "ZelvoRelay/Message/BaseMessage.h"
#include "ZelvoRelay/Message/MessageReader.h"

namespace ZelvoRelay::Message::Media {

// Type 155, server to client, with the requester's id: the answer to AddMediaRequest.
// Payload: the request id echoed (1 byte), the error type (1 byte), the new item's media id
// when accepted, else 0 (4 bytes).
class AddMediaResponse : public BaseMessage {
  public:
    static constexpr uint8_t MsgId = 155;

    enum ErrorType : uint8_t {
        Accepted = 0,      // send the file as chunks of resource 0 with the media id
        NotAllowed = 1,    // the sender has not joined or may not post photos
        TooLarge = 2,      // the size exceeds the configured maximum
        WrongType = 3,     // the media type is not 1
        CannotCreate = 4,  // the file to hold the upload could not be created
    };
    // What GetRequestId and GetErrorType answer when the message lacks their field.
    static constexpr uint8_t Missing = 4;

    explicit AddMediaResponse(const MessageBytes& bytes) : BaseMessage(bytes) {}
    AddMediaResponse(uint32_t clientId, uint8_t requestId, ErrorType errorType, uint32_t mediaId);

    // The request id; 4 when missing.
    [[nodiscard]] uint8_t GetRequestId() const { return MessageReader(*this, 5).U8(Missing); }
    // The error type; 4 when missing.
    [[nodiscard]] ErrorType GetErrorType() const {
        return static_cast<ErrorType>(MessageReader(*this, 6).U8(Missing));
    }
    // The media id; 0 when missing.
    [[nodiscard]] uint32_t GetMediaId() const { return MessageReader(*this, 7).U32(); }
};

}  // namespace ZelvoRelay::Message::Media
