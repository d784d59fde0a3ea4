#include "ZelvoRelay/Message/Chat/ChatMessage.h"

#include "ZelvoRelay/Message/MessageReader.h"
#include "ZelvoRelay/Message/MessageWriter.h"

namespace ZelvoRelay::Message::Chat {

ChatMessage::ChatMessage(uint32_t clientId, const System::String& text)
    : BaseMessage(MessageWriter::TextSize(text), MsgId, clientId) {
    MessageWriter(*this).Text(text);
}

System::String ChatMessage::GetMessage() const {
    return MessageReader(*this).Text();
}

}  // namespace ZelvoRelay::Message::Chat
