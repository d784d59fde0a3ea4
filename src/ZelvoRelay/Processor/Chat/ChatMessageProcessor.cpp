#include "ZelvoRelay/Processor/Chat/ChatMessageProcessor.h"

#include "ZelvoRelay/Processor/RoomRelay.h"

namespace ZelvoRelay::Processor::Chat {

void ChatMessageProcessor::Process(Message::BaseMessage* message, uint32_t clientId) {
    RelayWithRight(message, clientId, MVC::Model::UserPrivilegeModel::UserPrivilege::Chat);
}

}  // namespace ZelvoRelay::Processor::Chat
