#include "ZelvoRelay/Message/MessageFactory.h"

#include "ZelvoRelay/MVC/Model/MessageModel.h"
#include "ZelvoRelay/Message/IMessageConstructor.h"

namespace ZelvoRelay::Message {

BaseMessage* MessageFactory::CreateMessage(const char* data, int32_t size) const {
    if (size < 1) {
        return nullptr;
    }
    const IMessageConstructor* constructor =
        mMessages.GetConstructor(static_cast<uint8_t>(data[0]));
    return constructor == nullptr ? nullptr : constructor->Create(MessageBytes(data, size));
}

}  // namespace ZelvoRelay::Message
