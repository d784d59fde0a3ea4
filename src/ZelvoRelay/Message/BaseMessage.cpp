#include "ZelvoRelay/Message/BaseMessage.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "ZelvoRelay/Message/MessageReader.h"
#include "ZelvoRelay/Message/MessageWriter.h"

namespace ZelvoRelay::Message {

BaseMessage::BaseMessage(const MessageBytes& bytes) : mSize(std::max<int32_t>(bytes.mSize, 0)) {
    if (mSize > 0) {
        assert(bytes.mData != nullptr);
        mBuffer = std::make_unique<char[]>(static_cast<size_t>(mSize));
        std::memcpy(mBuffer.get(), bytes.mData, static_cast<size_t>(mSize));
    }
}

BaseMessage::BaseMessage(uint32_t payloadSize, uint8_t type, uint32_t clientId)
    : mBuffer(std::make_unique<char[]>(payloadSize + HeaderSize)),
      mSize(static_cast<int32_t>(payloadSize + HeaderSize)) {
    MessageWriter writer(*this, 0);
    writer.U8(type);
    writer.U32(clientId);
}

uint8_t BaseMessage::GetMsgId() const {
    return MessageReader(*this, 0).U8();
}

uint32_t BaseMessage::GetClientId() const {
    return MessageReader(*this, 1).U32();
}

void BaseMessage::SetClientId(uint32_t clientId) {
    if (mSize >= HeaderSize) {
        MessageWriter(*this, 1).U32(clientId);
    }
}

}  // namespace ZelvoRelay::Message
