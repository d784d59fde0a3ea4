#pragma once

#include "ZelvoRelay/Processor/IMessageProcessor.h"

namespace ZelvoRelay::Processor::Media {

// Abandons the sender's upload of the named file, removing what it had written. Downloads
// are not stopped this way. Nothing is answered. Takes the uploads monitor alone.
class StopMediaTransferMessageProcessor : public IMessageProcessor {
  public:
    void Process(Message::BaseMessage* message, uint32_t clientId) override;
    [[nodiscard]] bool ChangesStore() const override { return true; }
};

}  // namespace ZelvoRelay::Processor::Media
