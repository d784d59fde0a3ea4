#include "ZelvoRelay/Processor/Registration/ChangeNameMessageProcessor.h"

#include "ZelvoRelay/Message/Registration/ChangeNameMessage.h"
#include "ZelvoRelay/Processor/Registration/UserChange.h"

namespace ZelvoRelay::Processor::Registration {

void ChangeNameMessageProcessor::Process(Message::BaseMessage* message, uint32_t clientId) {
    ProcessUserChange(
        message, clientId, [](MVC::Model::UserModel& user, Message::BaseMessage* change) {
            user.Name = static_cast<Message::Registration::ChangeNameMessage*>(change)->GetName();
        });
}

}  // namespace ZelvoRelay::Processor::Registration
