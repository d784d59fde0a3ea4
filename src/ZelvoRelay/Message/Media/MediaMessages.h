#pragma once

#include "ZelvoRelay/MVC/Model/MessageModel.h"

namespace ZelvoRelay::Message::Media {

// Registers the media message classes, types 150 to 157, 159 and 160, in the type registry
// of model, which then owns them; a type already registered keeps its entry. Until this is
// done a client sending one is disconnected as for any unknown type.
void RegisterMediaMessages(MVC::Model::MessageModel& model);

}  // namespace ZelvoRelay::Message::Media
