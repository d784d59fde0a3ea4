#pragma once

#include "ZelvoRelay/Processor/IMessageProcessor.h"

namespace ZelvoRelay::Processor::Media {

// Starts sending one file of an item to the sender: answers GetMediaResponse and, when
// accepted, queues the first chunk behind the answer (PostSendMediaChunk). Any connected
// client may download. Takes the catalogue monitor, then the client-collection monitor
// with the downloads monitor inside it.
class GetMediaRequestProcessor : public IMessageProcessor {
  public:
    void Process(Message::BaseMessage* message, uint32_t clientId) override;
};

}  // namespace ZelvoRelay::Processor::Media
