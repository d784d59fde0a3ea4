#pragma once

#include "ZelvoRelay/Processor/IMessageProcessor.h"

namespace ZelvoRelay::Processor::Registration {

// Records a joined client's new name and relays the ChangeNameMessage to the rest of the room.
// A client that has not joined gets ErrorMessage 1 instead.
class ChangeNameMessageProcessor : public IMessageProcessor {
  public:
    void Process(Message::BaseMessage* message, uint32_t clientId) override;
};

}  // namespace ZelvoRelay::Processor::Registration
