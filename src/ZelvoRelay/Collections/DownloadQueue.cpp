#include "ZelvoRelay/Collections/DownloadQueue.h"

namespace ZelvoRelay::Collections {

void DownloadQueue::Add(uint32_t clientId, uint32_t mediaId, uint32_t resourceId) {
    Waiting& waiting = mClients[clientId];
    const uint64_t key = Key(mediaId, resourceId);
    if (waiting.mWaiting.insert(key).second) {
        waiting.mOrder.push_back(key);
    }
}

bool DownloadQueue::Contains(uint32_t clientId, uint32_t mediaId, uint32_t resourceId) const {
    const auto client = mClients.find(clientId);
    return client != mClients.end() && client->second.mWaiting.count(Key(mediaId, resourceId)) > 0;
}

bool DownloadQueue::TakeNext(uint32_t clientId, File& next) {
    const auto client = mClients.find(clientId);
    if (client == mClients.end()) {
        return false;
    }
    Waiting& waiting = client->second;
    const uint64_t key = waiting.mOrder.front();
    next.mMediaId = static_cast<uint32_t>(key >> 32);
    next.mResourceId = static_cast<uint32_t>(key);
    waiting.mOrder.pop_front();
    waiting.mWaiting.erase(key);
    if (waiting.mOrder.empty()) {
        mClients.erase(client);
    }
    return true;
}

void DownloadQueue::RemoveClient(uint32_t clientId) {
    mClients.erase(clientId);
}

}  // namespace ZelvoRelay::Collections
