#include "ZelvoRelay/Collections/MediaTransferCollection.h"

#include "System/Utility/FileSystem.h"

namespace ZelvoRelay::Collections {

using MVC::Model::MediaTransferModel;

MediaTransferCollection::~MediaTransferCollection() {
    // The transfers never own their streams; a transfer still running at shutdown would
    // otherwise leave its file open.
    for (Node* node = First(); node != nullptr; node = Next(node)) {
        delete node->mValue.mStream;
        node->mValue.mStream = nullptr;
    }
}

bool MediaTransferCollection::RemoveMedia(uint32_t clientId, uint32_t mediaId,
                                          uint32_t resourceId) {
    MediaTransferModel* transfer = Find(clientId, mediaId, resourceId);
    if (transfer == nullptr) {
        return false;
    }
    delete transfer->mStream;
    transfer->mStream = nullptr;
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

System::Collections::Vector<MediaTransferModel> MediaTransferCollection::RemoveClient(
    uint32_t clientId) {
    // Removing rotates the tree under a walk, so collect the client's transfers first.
    System::Collections::Vector<MediaTransferModel> ended;
    for (Node* node = First(); node != nullptr; node = Next(node)) {
        if (node->mValue.mClientId == clientId) {
            ended.Add(node->mValue);
        }
    }
    for (uint32_t i = 0; i < ended.Count(); ++i) {
        MediaTransferModel& transfer = ended[i];
        RemoveMedia(transfer.mClientId, transfer.mMediaId, transfer.mResourceId);
        transfer.mStream = nullptr;
    }
    return ended;
}

uint32_t MediaTransferCollection::CountClient(uint32_t clientId) const {
    uint32_t count = 0;
    for (Node* node = First(); node != nullptr; node = Next(node)) {
        count += node->mValue.mClientId == clientId ? 1 : 0;
    }
    return count;
}

bool MediaTransferCollection::HoldsMedia(uint32_t mediaId) const {
    // Transfers are ordered by media id first, so the search can go by it alone.
    Node* at = mRoot;
    while (at != nullptr && at->mValue.mMediaId != mediaId) {
        at = Child(at, at->mValue.mMediaId > mediaId ? 0 : 1);
    }
    return at != nullptr;
}

}  // namespace ZelvoRelay::Collections
