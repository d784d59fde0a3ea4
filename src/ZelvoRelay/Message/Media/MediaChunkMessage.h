#pragma once

#include <cstdint>

#include "ZelvoRelay/Message/BaseMessage.h"
#include "ZelvoRelay/Message/MessageReader.h"

namespace ZelvoRelay::Message::Media {

// Type 156, both ways: one piece of a file, an upload's from the client, a download's from
// the server (with the downloader's id). Payload: the media id (4 bytes), the resource id (1
// byte), the position of the chunk's first byte in the file (4 bytes), the chunk size n (2
// bytes) and n bytes of data. The size field is not checked against the bytes present.
class MediaChunkMessage : public BaseMessage {
  public:
    static constexpr uint8_t MsgId = 156;
    // Where the data begins.
    static constexpr int32_t DataOffset = 16;

    explicit MediaChunkMessage(const MessageBytes& bytes) : BaseMessage(bytes) {}
    // Copies size bytes of data, which may be null when size is 0.
    MediaChunkMessage(uint32_t clientId, uint32_t mediaId, uint8_t resourceId, uint32_t chunkOffset,
                      uint16_t size, const char* data);

    // The media id; 0 when missing.
    [[nodiscard]] uint32_t GetMediaId() const { return MessageReader(*this, 5).U32(); }
    // The resource id; 0 when missing.
    [[nodiscard]] uint8_t GetResourceId() const { return MessageReader(*this, 9).U8(); }
    // The chunk's position in the file; 0 when missing.
    [[nodiscard]] uint32_t GetChunkOffset() const { return MessageReader(*this, 10).U32(); }
    // The declared chunk size; 0 when missing. The bytes present may be fewer.
    [[nodiscard]] uint16_t GetChunkSize() const { return MessageReader(*this, 14).U16(); }
    // The data at offset 16; null when the message has fewer than 17 bytes.
    [[nodiscard]] const char* GetChunkData() const {
        return GetMsgSize() > DataOffset ? GetMsg() + DataOffset : nullptr;
    }
    // The number of data bytes a consumer may take: the declared size cut to the bytes
    // present, so that a short message is never read past its end.
    [[nodiscard]] uint32_t GetChunkDataLength() const;
};

}  // namespace ZelvoRelay::Message::Media
