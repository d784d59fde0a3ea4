#pragma once

#include <cstdint>

#include "ZelvoRelay/Processor/IMessageProcessor.h"

namespace ZelvoRelay::Collections {
class MediaCollection;
}
namespace ZelvoRelay::Message::Media {
class GetMediaInfoResponse;
}

namespace ZelvoRelay::Processor::Media {

// Answers a page of the catalogue (GetMediaInfoResponse): up to the count asked for of
// items from the start id downwards, newest first, each an Atom entry with its Media RSS
// group. Any connected client may list. Takes the catalogue monitor alone.
class GetMediaInfoRequestProcessor : public IMessageProcessor {
  public:
    void Process(Message::BaseMessage* message, uint32_t clientId) override;

    // The page of up to count items of catalogue from startId downwards, for clientId.
    // Takes the catalogue's monitor.
    [[nodiscard]] static Message::Media::GetMediaInfoResponse* Answer(
        Collections::MediaCollection& catalogue, uint32_t clientId, uint32_t startId,
        uint32_t count);
};

}  // namespace ZelvoRelay::Processor::Media
