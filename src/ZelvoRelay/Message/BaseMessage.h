#pragma once

#include <cstdint>
#include <memory>

#include "System/Object.h"

namespace ZelvoRelay::Message {

// Bytes received from a client, as the framing handed them over. A message is built
// from them through this type rather than a bare (pointer, size) pair, so that a
// constructor call from fields such as ErrorMessage(0, 1) can never be taken for a
// construction from a null pointer.
class MessageBytes : public System::Object {
  public:
    // REQUIRES: data holds size bytes (data may be null when size is 0).
    MessageBytes(const char* data, int32_t size) : mData(data), mSize(size) {}

    const char* mData;  // the first byte; not owned
    int32_t mSize;      // the number of bytes; a negative size counts as 0
};

// A relay message: an owned buffer holding the whole message, a one-byte type id, a
// four-byte little-endian client id and the payload that the type id lays out. Every
// message class derives from it, adds no state and reads its fields in place.
// A message is used by one thread at a time.
class BaseMessage : public System::Object {
  public:
    // Type id and client id.
    static constexpr int32_t HeaderSize = 5;

    // Keeps a copy of the received bytes exactly as they are; nothing is checked.
    explicit BaseMessage(const MessageBytes& bytes);
    // A zero-filled message of payloadSize + 5 bytes with its header written; the
    // derived constructor writes the payload from offset 5.
    BaseMessage(uint32_t payloadSize, uint8_t type, uint32_t clientId);
    ~BaseMessage() override = default;

    BaseMessage(const BaseMessage&) = delete;
    BaseMessage& operator=(const BaseMessage&) = delete;

    // The bytes to frame and send, GetMsgSize() of them.
    [[nodiscard]] char* GetMsg() const { return mBuffer.get(); }
    [[nodiscard]] int32_t GetMsgSize() const { return mSize; }

    // The type id; 0 for an empty message.
    [[nodiscard]] uint8_t GetMsgId() const;
    // The client id of the header; 0 when the message is shorter than the header.
    [[nodiscard]] uint32_t GetClientId() const;
    // Overwrites the header's client id; a message shorter than the header is unchanged.
    void SetClientId(uint32_t clientId);

  private:
    std::unique_ptr<char[]> mBuffer;  // the whole message; null when mSize is 0
    int32_t mSize{0};                 // bytes in mBuffer, header included
};

}  // namespace ZelvoRelay::Message
