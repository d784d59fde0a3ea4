#pragma once

#include <cstdint>

#include "System/Object.h"
#include "System/String.h"

namespace ZelvoRelay::Message {

class BaseMessage;

// Writes the fields of a message in layout order, packed with no gaps: integers
// unsigned and little-endian, texts as an unsigned length byte and the text's bytes.
// The message constructors size their buffers with TextSize and the field widths, so
// the fields always fit; a field that would not is left out.
class MessageWriter : public System::Object {
  public:
    // Texts hold at most this many bytes: their length is one byte.
    static constexpr uint32_t MaxTextLength = 255;

    // A writer at offset of message (the payload starts at offset 5).
    // REQUIRES: message outlives the writer.
    explicit MessageWriter(BaseMessage& message, uint32_t offset = 5);

    // The bytes text takes in a message: its length byte and at most 255 bytes.
    [[nodiscard]] static uint32_t TextSize(const System::String& text);

    void U8(uint8_t value);
    void U16(uint16_t value);
    void U32(uint32_t value);
    // The length byte, then the bytes; only the first 255 bytes of a longer text.
    void Text(const System::String& text);
    // count bytes copied from data, which may be null when count is 0.
    void Bytes(const char* data, uint32_t count);

  private:
    void Integer(uint32_t width, uint32_t value);

    char* mData;       // the message's buffer
    uint32_t mSize;    // the message's size
    uint32_t mOffset;  // where the next field goes
};

}  // namespace ZelvoRelay::Message
