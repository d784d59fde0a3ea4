#pragma once

#include <cstdint>

#include "System/Object.h"
#include "System/String.h"

namespace ZelvoRelay::Message {

class BaseMessage;

// Reads the fields of a message in layout order: integers unsigned and little-endian,
// texts as an unsigned length byte and that many bytes. A field that does not lie
// wholly inside the message reads as its default, and so does every field after it,
// since its place is no longer known. Never reads outside the message.
class MessageReader : public System::Object {
  public:
    // A reader at offset of message (the payload starts at offset 5).
    // REQUIRES: message outlives the reader and is not changed while it reads.
    explicit MessageReader(const BaseMessage& message, uint32_t offset = 5);

    [[nodiscard]] uint8_t U8(uint8_t fallback = 0);
    [[nodiscard]] uint16_t U16(uint16_t fallback = 0);
    [[nodiscard]] uint32_t U32(uint32_t fallback = 0);
    // The text's bytes; empty when its length byte or any of its bytes is missing.
    [[nodiscard]] System::String Text();
    // Passes over a text as Text() reads it.
    void SkipText();
    // The next count bytes in place, or null when they are not all inside the message.
    [[nodiscard]] const char* Bytes(uint32_t count);

  private:
    // An unsigned little-endian integer of width bytes, or fallback.
    uint32_t Integer(uint32_t width, uint32_t fallback);

    const char* mData;    // the message's bytes
    uint32_t mSize;       // the message's size
    uint32_t mOffset;     // where the next field starts
    bool mFailed{false};  // a field did not fit: every later field reads as its default
};

}  // namespace ZelvoRelay::Message
