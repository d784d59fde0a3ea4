#pragma once

#include "ZelvoRelay/Processor/IMessageProcessor.h"

namespace ZelvoRelay::Processor::Voice {

// Relays a voice data message from a joined client with the Voice right to the rest of the
// room, stamped with the sender's id; anything else is dropped silently.
class VoiceMessageProcessor : public IMessageProcessor {
  public:
    void Process(Message::BaseMessage* message, uint32_t clientId) override;
};

}  // namespace ZelvoRelay::Processor::Voice
