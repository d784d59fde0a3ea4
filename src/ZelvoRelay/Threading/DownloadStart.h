#pragma once

#include <cstdint>

#include "ZelvoRelay/Threading/MessageTask.h"

namespace ZelvoRelay::Threading {

// The start of a download whose place is claimed, handed to the message worker by a thread
// that may not make room for its file itself: closing a connection there to free a
// descriptor would wait for the client workers, the thread among them.
class DownloadStart : public MessageTask {
  public:
    // The download of resource resourceId of item mediaId to clientId; answer as
    // PostSendMediaChunk::Start takes it.
    DownloadStart(uint32_t clientId, uint32_t mediaId, uint32_t resourceId, bool answer);
    ~DownloadStart() override = default;

    // Starts the download (PostSendMediaChunk::Start). REQUIRES: on the message worker.
    void Run() const;

  private:
    uint32_t mClientId;
    uint32_t mMediaId;
    uint32_t mResourceId;
    bool mAnswer;
};

}  // namespace ZelvoRelay::Threading
