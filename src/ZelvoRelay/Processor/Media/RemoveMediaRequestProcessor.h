#pragma once

#include "ZelvoRelay/Processor/IMessageProcessor.h"

namespace ZelvoRelay::Processor::Media {

// Removes an item (or every item, for 0xFFFFFFFF) through RemoveMediaItemEvent when the
// sender may delete photos, and answers RemoveMediaResponse. Takes the client-collection
// monitor, then the catalogue monitor, one at a time.
class RemoveMediaRequestProcessor : public IMessageProcessor {
  public:
    void Process(Message::BaseMessage* message, uint32_t clientId) override;
    [[nodiscard]] bool ChangesStore() const override { return true; }
};

}  // namespace ZelvoRelay::Processor::Media
