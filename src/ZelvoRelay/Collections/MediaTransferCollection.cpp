#include "ZelvoRelay/Collections/MediaTransferCollection.h"

#include "System/Utility/FileSystem.h"
#include "ZelvoRelay/Collections/HeldFile.h"

namespace ZelvoRelay::Collections {

using MVC::Model::MediaTransferModel;

MediaTransferCollection::~MediaTransferCollection() {
    // The transfers never own their held files; a transfer still running at shutdown would
    // otherwise leave its file open.
    for (Node* node = First(); node != nullptr; node = Next(node)) {
        delete node->mValue.mFile;
        node->mValue.mFile = nullptr;
    }
}

void MediaTransferCollection::Add(const MediaTransferModel& transfer) {
    const uint32_t held = Count();
    MediaTree::Add(transfer);
    if (Count() != held) {
        mByClient[transfer.mClientId].emplace(transfer.mMediaId, transfer.mResourceId);
    }
}

bool MediaTransferCollection::Remove(const MediaTransferModel& transfer) {
    // Read first: transfer may be the value of a node that the removal moves or deletes.
    const uint32_t clientId = transfer.mClientId;
    const std::pair<uint32_t, uint32_t> key(transfer.mMediaId, transfer.mResourceId);
    if (!MediaTree::Remove(transfer)) {
        return false;
    }
    const auto client = mByClient.find(clientId);
    client->second.erase(key);
    if (client->second.empty()) {
        mByClient.erase(client);
    }
    return true;
}

void MediaTransferCollection::Clear() {
    MediaTree::Clear();
    mByClient.clear();
}

bool MediaTransferCollection::RemoveMedia(uint32_t clientId, uint32_t mediaId,
                                          uint32_t resourceId) {
    MediaTransferModel* transfer = Find(clientId, mediaId, resourceId);
    if (transfer == nullptr) {
        return false;
    }
    delete transfer->mFile;
    transfer->mFile = nullptr;
    return Remove(MediaTransferModel(clientId, mediaId, resourceId));
}

bool MediaTransferCollection::DiscardUpload(uint32_t clientId, uint32_t mediaId,
                                            uint32_t resourceId) {
    MediaTransferModel* transfer = Find(clientId, mediaId, resourceId);
    if (transfer == nullptr) {
        return false;
    }
    const System::String path = transfer->GetResourcePath(resourceId);
    RemoveMedia(clientId, mediaId, resourceId);
    (void)System::Utility::FileSystem().RemoveFile(path);
    return true;
}

void MediaTransferCollection::DiscardUploads() {
    while (Node* first = First()) {
        const MediaTransferModel& upload = first->mValue;
        DiscardUpload(uint32_t{upload.mClientId}, uint32_t{upload.mMediaId},
                      uint32_t{upload.mResourceId});
    }
}

MediaTransferModel* MediaTransferCollection::Find(uint32_t clientId, uint32_t mediaId,
                                                  uint32_t resourceId) const {
    Node* node = FindNode(MediaTransferModel(clientId, mediaId, resourceId));
    return node != nullptr ? &node->mValue : nullptr;
}

std::vector<MediaTransferCollection::Ended> MediaTransferCollection::RemoveClient(
    uint32_t clientId) {
    std::vector<Ended> ended;
    const auto client = mByClient.find(clientId);
    if (client == mByClient.end()) {
        return ended;
    }
    // Copied: each removal changes the client's set.
    const std::set<std::pair<uint32_t, uint32_t>> keys = client->second;
    for (const auto& [mediaId, resourceId] : keys) {
        const MediaTransferModel& transfer = *Find(clientId, mediaId, resourceId);
        ended.push_back({transfer, transfer.mPosition});
        RemoveMedia(clientId, mediaId, resourceId);
        ended.back().mTransfer.mFile = nullptr;
    }
    return ended;
}

uint32_t MediaTransferCollection::CountClient(uint32_t clientId) const {
    const auto client = mByClient.find(clientId);
    return client == mByClient.end() ? 0 : static_cast<uint32_t>(client->second.size());
}

bool MediaTransferCollection::HoldsMedia(uint32_t mediaId) const {
    // Transfers are ordered by media id first, so the search can go by it alone.
    Node* at = mRoot;
    while (at != nullptr && at->mValue.mMediaId != mediaId) {
        at = Child(at, at->mValue.mMediaId > mediaId ? 0 : 1);
    }
    return at != nullptr;
}

std::vector<MediaTransferModel*> MediaTransferCollection::OfMedia(uint32_t mediaId) const {
    // The first transfer of the media id: ordered by it first, the others lie on either side.
    Node* first = nullptr;
    for (Node* at = mRoot; at != nullptr;) {
        const bool before = at->mValue.mMediaId < mediaId;
        if (!before) {
            first = at;
        }
        at = Child(at, before ? 1 : 0);
    }
    std::vector<MediaTransferModel*> transfers;
    for (Node* at = first; at != nullptr && at->mValue.mMediaId == mediaId; at = Next(at)) {
        transfers.push_back(&at->mValue);
    }
    return transfers;
}

}  // namespace ZelvoRelay::Collections
