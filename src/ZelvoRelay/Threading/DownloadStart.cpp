#include "ZelvoRelay/Threading/DownloadStart.h"

#include "ZelvoRelay/PostAction/PostSendMediaChunk.h"

namespace ZelvoRelay::Threading {

// Outgoing, in the server's turn: no hold on a client's messages keeps it back.
DownloadStart::DownloadStart(uint32_t clientId, uint32_t mediaId, uint32_t resourceId, bool answer)
    : MessageTask(nullptr, 0, 0),
      mClientId(clientId),
      mMediaId(mediaId),
      mResourceId(resourceId),
      mAnswer(answer) {}

void DownloadStart::Run() const {
    PostAction::PostSendMediaChunk::Start(mClientId, mMediaId, mResourceId, mAnswer);
}

}  // namespace ZelvoRelay::Threading
