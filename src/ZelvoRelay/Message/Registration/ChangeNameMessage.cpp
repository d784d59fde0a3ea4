#include "ZelvoRelay/Message/Registration/ChangeNameMessage.h"

#include "ZelvoRelay/Message/MessageReader.h"
#include "ZelvoRelay/Message/MessageWriter.h"

namespace ZelvoRelay::Message::Registration {

ChangeNameMessage::ChangeNameMessage(uint32_t clientId, const System::String& name)
    : BaseMessage(MessageWriter::TextSize(name), MsgId, clientId) {
    MessageWriter(*this).Text(name);
}

System::String ChangeNameMessage::GetName() const {
    return MessageReader(*this).Text();
}

}  // namespace ZelvoRelay::Message::Registration
