#pragma once

#include "ZelvoRelay/MVC/Model/UserPrivilegeModel.h"
#include "ZelvoRelay/Message/BaseMessage.h"

namespace ZelvoRelay::Processor {

// The road shared by chat and voice: when the sender has joined and may write with the
// given privilege, the message is stamped with the sender's id and relayed to every
// other joined client; otherwise it is dropped without a word.
void RelayWithRight(Message::BaseMessage* message, uint32_t clientId,
                    MVC::Model::UserPrivilegeModel::UserPrivilege privilege);

}  // namespace ZelvoRelay::Processor
