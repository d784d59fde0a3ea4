#include "ZelvoRelay/Collections/DownloadQueue.h"

namespace ZelvoRelay::Collections {

using MVC::Model::MediaTransferModel;

void DownloadQueue::Add(const MediaTransferModel& download) {
    mWaiting.Add(download);
}

bool DownloadQueue::Contains(uint32_t clientId, uint32_t mediaId, uint32_t resourceId) const {
    return mWaiting.Contains(MediaTransferModel(clientId, mediaId, resourceId));
}

bool DownloadQueue::TakeNext(uint32_t clientId, MediaTransferModel& download) {
    for (auto* node = mWaiting.mHead; node != nullptr; node = node->mNext) {
        if (node->mValue.mClientId == clientId) {
            download = node->mValue;
            // No two waiting downloads are equal, so this removes the node found.
            mWaiting.Remove(download);
            return true;
        }
    }
    return false;
}

void DownloadQueue::RemoveClient(uint32_t clientId) {
    for (auto* node = mWaiting.mHead; node != nullptr;) {
        auto* next = node->mNext;
        const MediaTransferModel& download = node->mValue;
        if (download.mClientId == clientId) {
            mWaiting.Remove(MediaTransferModel(clientId, download.mMediaId, download.mResourceId));
        }
        node = next;
    }
}

}  // namespace ZelvoRelay::Collections
