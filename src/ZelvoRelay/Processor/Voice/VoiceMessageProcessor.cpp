#include "ZelvoRelay/Processor/Voice/VoiceMessageProcessor.h"

#include "ZelvoRelay/Processor/RoomRelay.h"

namespace ZelvoRelay::Processor::Voice {

void VoiceMessageProcessor::Process(Message::BaseMessage* message, uint32_t clientId) {
    RelayWithRight(message, clientId, MVC::Model::UserPrivilegeModel::UserPrivilege::Voice);
}

}  // namespace ZelvoRelay::Processor::Voice
