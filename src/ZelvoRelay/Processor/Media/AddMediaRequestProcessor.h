#pragma once

#include "ZelvoRelay/Processor/IMessageProcessor.h"

namespace ZelvoRelay::Processor::Media {

// Accepts or refuses an announced upload (AddMediaRequest) and answers the sender with
// AddMediaResponse: accepted with a new media id and an empty file waiting for the chunks,
// or refused (not allowed to post photos, too large, not an image, file not created, or
// too many uploads of the sender in progress). Takes the client-collection, uploads and
// catalogue monitors, nested in that order.
class AddMediaRequestProcessor : public IMessageProcessor {
  public:
    // The uploads one client may have in progress at once; a member's share
    // (ConfigurationModel::MaxDownloadsPerMember) where the open file limit leaves fewer.
    static constexpr uint32_t kMaxUploadsPerClient = 16;

    void Process(Message::BaseMessage* message, uint32_t clientId) override;
    [[nodiscard]] bool ChangesStore() const override { return true; }
};

}  // namespace ZelvoRelay::Processor::Media
