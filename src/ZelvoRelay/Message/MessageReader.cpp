#include "ZelvoRelay/Message/MessageReader.h"

#include "ZelvoRelay/Message/BaseMessage.h"

namespace ZelvoRelay::Message {

MessageReader::MessageReader(const BaseMessage& message, uint32_t offset)
    : mData(message.GetMsg()),
      mSize(static_cast<uint32_t>(message.GetMsgSize())),
      mOffset(offset) {}

uint8_t MessageReader::U8(uint8_t fallback) {
    return static_cast<uint8_t>(Integer(1, fallback));
}

uint16_t MessageReader::U16(uint16_t fallback) {
    return static_cast<uint16_t>(Integer(2, fallback));
}

uint32_t MessageReader::U32(uint32_t fallback) {
    return Integer(4, fallback);
}

System::String MessageReader::Text() {
    const uint32_t length = U8();
    const char* bytes = Bytes(length);
    return bytes == nullptr ? System::String() : System::String(bytes, length);
}

void MessageReader::SkipText() {
    const uint32_t length = U8();
    static_cast<void>(Bytes(length));
}

const char* MessageReader::Bytes(uint32_t count) {
    // Compared without adding to the offset, which could wrap.
    if (mFailed || mOffset > mSize || count > mSize - mOffset) {
        mFailed = true;
        return nullptr;
    }
    const char* bytes = mData + mOffset;
    mOffset += count;
    return bytes;
}

uint32_t MessageReader::Integer(uint32_t width, uint32_t fallback) {
    const char* bytes = Bytes(width);
    if (bytes == nullptr) {
        return fallback;
    }
    uint32_t value = 0;
    for (uint32_t i = 0; i < width; ++i) {
        value |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << (8 * i);
    }
    return value;
}

}  // namespace ZelvoRelay::Message
