#pragma once

#include "ZelvoRelay/Processor/IMessageProcessor.h"

namespace ZelvoRelay::Processor::Media {

// Starts sending one file of an item to the sender: answers GetMediaResponse and, when
// accepted, queues the first chunk behind the answer (PostSendMediaChunk). A download
// accepted while the sender runs its share (ConfigurationModel::MaxDownloadsPerMember) waits its
// turn (WaitingDownloads).
// Any connected client may download. Takes the catalogue monitor, then the
// client-collection monitor with the downloads monitor, and the task queue's, inside it; the
// file of a download that starts is opened with none of them held.
class GetMediaRequestProcessor : public IMessageProcessor {
  public:
    void Process(Message::BaseMessage* message, uint32_t clientId) override;
    [[nodiscard]] bool AnswersOnlySender() const override { return true; }
};

}  // namespace ZelvoRelay::Processor::Media
