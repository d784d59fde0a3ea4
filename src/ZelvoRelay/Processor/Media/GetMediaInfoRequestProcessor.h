#pragma once

#include "ZelvoRelay/Processor/IMessageProcessor.h"

namespace ZelvoRelay::Processor::Media {

// Answers a page of the catalogue (GetMediaInfoResponse): up to the count asked for of
// items from the start id downwards, newest first, each an Atom entry with its Media RSS
// group. Any connected client may list. Takes the catalogue monitor alone.
class GetMediaInfoRequestProcessor : public IMessageProcessor {
  public:
    void Process(Message::BaseMessage* message, uint32_t clientId) override;
};

}  // namespace ZelvoRelay::Processor::Media
