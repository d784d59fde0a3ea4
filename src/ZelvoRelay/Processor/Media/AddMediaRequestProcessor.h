#pragma once

#include "ZelvoRelay/Processor/IMessageProcessor.h"

namespace ZelvoRelay::Processor::Media {

// Accepts or refuses an announced upload (AddMediaRequest) and answers the sender with
// AddMediaResponse: accepted with a new media id and an empty file waiting for the chunks,
// or refused (not allowed to post photos, too large, not an image, file not created).
// Takes the client-collection, uploads and catalogue monitors, nested in that order.
class AddMediaRequestProcessor : public IMessageProcessor {
  public:
    void Process(Message::BaseMessage* message, uint32_t clientId) override;
};

}  // namespace ZelvoRelay::Processor::Media
