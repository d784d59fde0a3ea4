#include "ZelvoRelay/Processor/Registration/UserStatusMessageProcessor.h"

#include "ZelvoRelay/Message/Registration/UserStatusMessage.h"
#include "ZelvoRelay/Processor/Registration/UserChange.h"

namespace ZelvoRelay::Processor::Registration {

void UserStatusMessageProcessor::Process(Message::BaseMessage* message, uint32_t clientId) {
    ProcessUserChange(
        message, clientId, [](MVC::Model::UserModel& user, Message::BaseMessage* change) {
            user.Status =
                static_cast<Message::Registration::UserStatusMessage*>(change)->GetStatus();
        });
}

}  // namespace ZelvoRelay::Processor::Registration
