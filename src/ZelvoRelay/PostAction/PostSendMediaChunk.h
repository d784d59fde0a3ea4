#pragma once

#include <cstdint>

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

    // The download of resource resourceId of item mediaId to clientId, built from the item
    // as the catalogue holds it now, with its file open for reading (the stream is the
    // caller's); false, with no stream, when the catalogue no longer holds the item, or its
    // file cannot be read or its descriptor falls in the reserve kept for the saves. Takes
    // the catalogue monitor.
    [[nodiscard]] static bool Open(uint32_t clientId, uint32_t mediaId, uint32_t resourceId,
                                   MVC::Model::MediaTransferModel& download);

    // Queues the next chunk, or ends the download at the end of the file and starts the
    // client's next waiting one; nothing when the download has ended already. Takes the
    // downloads monitor, and the catalogue's and the task queue's inside it.
    void Execute() override;

  private:
    uint32_t mClientId;    // the downloading client
    uint32_t mMediaId;     // the item
    uint32_t mResourceId;  // the file of the item
};

}  // namespace ZelvoRelay::PostAction
