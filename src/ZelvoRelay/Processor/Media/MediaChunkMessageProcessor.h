#pragma once

#include "ZelvoRelay/Processor/IMessageProcessor.h"

namespace ZelvoRelay::Processor::Media {

// Appends a chunk of the sender's upload to its file, in arrival order; once the announced
// size has arrived, the photo worker makes the preview and the upload becomes an item
// through NewMediaItemEvent, while the sender's later messages wait for that outcome. A
// chunk of no upload of the sender is ignored. Nothing is answered. Holds the uploads
// monitor throughout.
class MediaChunkMessageProcessor : public IMessageProcessor {
  public:
    void Process(Message::BaseMessage* message, uint32_t clientId) override;
    [[nodiscard]] bool ChangesStore() const override { return true; }
};

}  // namespace ZelvoRelay::Processor::Media
