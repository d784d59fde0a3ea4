#pragma once

#include <cstdint>

#include "ZelvoRelay/MVC/Model/MediaTransferModel.h"
#include "ZelvoRelay/PostAction/IPostAction.h"

namespace ZelvoRelay::PostAction {

// Drives a download a few chunks at a time: each run opens the file, queues its next chunks
// with a new action of its own attached to the last and closes the file, so the following
// ones are read only once these have left the client's socket, and a client that reads
// nothing holds no file; the run that finds the file sent ends the download, without opening
// it again, and starts the client's next waiting one (WaitingDownloads).
class PostSendMediaChunk : public IPostAction {
  public:
    // Chunks carry at most this many bytes of the file.
    static constexpr int ChunkSize = 4096;
    // Chunks read at each opening of the file: a preview (two chunks at most) is sent with
    // one, as fast as when a download held its file from start to end.
    static constexpr int ChunksPerRead = 2;

    // The download of resource resourceId of item mediaId to client clientId.
    PostSendMediaChunk(uint32_t clientId, uint32_t mediaId, uint32_t resourceId)
        : mClientId(clientId), mMediaId(mediaId), mResourceId(resourceId) {}

    // Whether the catalogue lists item mediaId and its file resourceId is one a download can
    // send: a regular file of at least one byte. Looks without opening the file, so a
    // download that is to wait holds no file and a named pipe never blocks. Takes the
    // catalogue monitor.
    [[nodiscard]] static bool CanBeSent(uint32_t mediaId, uint32_t resourceId);

    // Starts or goes on with the download of resource resourceId of item mediaId to clientId,
    // whose place among the client's running downloads is claimed (a transfer in Downloads):
    // opens its file outside the downloads monitor, answers Accepted when answer is set,
    // queues the next chunks and closes the file. A download that cannot start (its item
    // removed, its file unreadable or empty, no descriptor below the reserve to be had) is
    // answered NotFound and makes way for the client's next waiting one, and so on. Nothing, no
    // file opened, when the client has left. On a client worker, a file that would need room
    // made for it is left to the message worker (Threading::DownloadStart). REQUIRES: no
    // monitor held but the list monitor of the client worker running it.
    static void Start(uint32_t clientId, uint32_t mediaId, uint32_t resourceId, bool answer);
    // Item mediaId is being removed: each of its running downloads holds its file open from
    // now on, as far as the table's count allows (Collections::TransferFiles), so that the
    // save that deletes the file cuts none short. REQUIRES: before the catalogue lets go of
    // the item; no monitor held.
    static void HoldRemoved(uint32_t mediaId);
    // clientId has just joined: a place it held among its address's downloads of connections
    // that have not joined goes to the next there (UnjoinedDownloads), and its own waiting
    // downloads start up to a member's share. REQUIRES: no monitor held, off the client
    // workers.
    static void StartJoined(uint32_t clientId);
    // clientId leaves: its downloads end, running or waiting, their files closed, and a place
    // it held among its address's downloads of connections that have not joined goes to the
    // next there, whose download starts in the message worker's turn. Takes the downloads
    // monitor.
    static void EndClient(uint32_t clientId);

    // Queues the next chunks, or ends the download at the end of the file and starts the
    // client's next waiting one (Start); nothing when the download has ended already. Takes
    // the downloads monitor, and the task queue's inside it.
    void Execute() override;

  private:
    uint32_t mClientId;    // the downloading client
    uint32_t mMediaId;     // the item
    uint32_t mResourceId;  // the file of the item
};

}  // namespace ZelvoRelay::PostAction
