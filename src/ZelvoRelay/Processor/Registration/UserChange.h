#pragma once

#include "ZelvoRelay/MVC/Model/UserModel.h"
#include "ZelvoRelay/Message/BaseMessage.h"

namespace ZelvoRelay::Processor::Registration {

// What a name or status change does to the sender's user model.
using UserChange = void (*)(MVC::Model::UserModel& user, Message::BaseMessage* message);

// The road shared by name and status changes: a joined sender has change applied to its
// user model and the message relayed to the rest of the room; a sender that has not
// joined gets ErrorMessage 1 and keeps its connection; a sender that has gone is ignored.
void ProcessUserChange(Message::BaseMessage* message, uint32_t clientId, UserChange change);

}  // namespace ZelvoRelay::Processor::Registration
