#pragma once

#include <cstdint>

#include "System/IO/Stream.h"
#include "ZelvoRelay/MVC/Model/MediaTransferModel.h"
#include "ZelvoRelay/PostAction/IPostAction.h"

namespace ZelvoRelay::PostAction {

// Drives a download one chunk at a time: each run queues the next chunk of the file with a
// new action of its own attached, so the following chunk is read only once this one has
// left the client's socket; the run that finds the file sent ends the download and starts
// the client's next waiting one (WaitingDownloads).
class PostSendMediaChunk : public IPostAction {
  public:
    // Chunks carry at most this many bytes of the file.
    static constexpr int ChunkSize = 4096;

    // The download of resource resourceId of item mediaId to client clientId.
    PostSendMediaChunk(uint32_t clientId, uint32_t mediaId, uint32_t resourceId)
        : mClientId(clientId), mMediaId(mediaId), mResourceId(resourceId) {}

    // The file of download opened for reading, owned by the caller; null when it cannot be
    // read or its descriptor falls in the reserve kept for the saves.
    [[nodiscard]] static System::IO::Stream* OpenFile(
        const MVC::Model::MediaTransferModel& download);

    // Queues the next chunk, or ends the download at the end of the file; nothing when the
    // download has ended already. Takes the downloads monitor, and the task queue's inside
    // it.
    void Execute() override;

  private:
    uint32_t mClientId;    // the downloading client
    uint32_t mMediaId;     // the item
    uint32_t mResourceId;  // the file of the item
};

}  // namespace ZelvoRelay::PostAction
