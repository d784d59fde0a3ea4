#pragma once

#include <cstdint>

#include "System/String.h"
#include "ZelvoRelay/MVC/Model/MediaModel.h"
#include "ZelvoRelay/Message/BaseMessage.h"
#include "ZelvoRelay/Message/MessageReader.h"

namespace ZelvoRelay::Message::Media {

// Type 154, client to server: announces an upload. Payload: a request id of the client's
// choosing, echoed in the answer (1 byte), the media type (1 byte; 1 is an image), the size
// of the file in bytes (4 bytes) and the item's name (text).
class AddMediaRequest : public BaseMessage {
  public:
    static constexpr uint8_t MsgId = 154;

    explicit AddMediaRequest(const MessageBytes& bytes) : BaseMessage(bytes) {}
    // Announces item: its media type, the file size of its first content element (0 when it
    // has none) and its Atom title.
    AddMediaRequest(uint32_t clientId, uint8_t requestId, const MVC::Model::MediaModel& item);

    // The request id; 0 when missing.
    [[nodiscard]] uint8_t GetRequestId() const { return MessageReader(*this, 5).U8(); }
    // The media type; 0 when missing.
    [[nodiscard]] uint8_t GetMediaType() const { return MessageReader(*this, 6).U8(); }
    // The announced size; 0 when missing.
    [[nodiscard]] uint32_t GetMediaSize() const { return MessageReader(*this, 7).U32(); }
    // The name; empty when its length byte or any of its bytes is missing.
    [[nodiscard]] System::String GetMediaName() const { return MessageReader(*this, 11).Text(); }
};

}  // namespace ZelvoRelay::Message::Media
