#include "ZelvoRelay/Message/MessageWriter.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "ZelvoRelay/Message/BaseMessage.h"

namespace ZelvoRelay::Message {

MessageWriter::MessageWriter(BaseMessage& message, uint32_t offset)
    : mData(message.GetMsg()),
      mSize(static_cast<uint32_t>(message.GetMsgSize())),
      mOffset(offset) {}

uint32_t MessageWriter::TextSize(const System::String& text) {
    return 1 + std::min(text.Length(), MaxTextLength);
}

void MessageWriter::U8(uint8_t value) {
    Integer(1, value);
}

void MessageWriter::U16(uint16_t value) {
    Integer(2, value);
}

void MessageWriter::U32(uint32_t value) {
    Integer(4, value);
}

void MessageWriter::Text(const System::String& text) {
    // The length byte cannot say more than 255: a longer text written whole would
    // be read back short and shift every field after it, so it is cut instead.
    const uint32_t length = std::min(text.Length(), MaxTextLength);
    U8(static_cast<uint8_t>(length));
    Bytes(text.ToByteArray(), length);
}

void MessageWriter::Bytes(const char* data, uint32_t count) {
    const bool fits = mOffset <= mSize && count <= mSize - mOffset;
    assert(fits);
    if (!fits || count == 0) {
        return;
    }
    std::memcpy(mData + mOffset, data, count);
    mOffset += count;
}

void MessageWriter::Integer(uint32_t width, uint32_t value) {
    char bytes[4];
    for (uint32_t i = 0; i < width; ++i) {
        bytes[i] = static_cast<char>(value >> (8 * i));
    }
    Bytes(bytes, width);
}

}  // namespace ZelvoRelay::Message
