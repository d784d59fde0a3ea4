#pragma once

#include "ZelvoRelay/Processor/IMessageProcessor.h"

namespace ZelvoRelay::Processor::Chat {

// Relays a chat message from a joined client with the Chat right to the rest of the
// room, stamped with the sender's id; anything else is dropped silently.
class ChatMessageProcessor : public IMessageProcessor {
  public:
    void Process(Message::BaseMessage* message, uint32_t clientId) override;
};

}  // namespace ZelvoRelay::Processor::Chat
