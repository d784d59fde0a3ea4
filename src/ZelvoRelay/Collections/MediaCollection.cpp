#include "ZelvoRelay/Collections/MediaCollection.h"

#include "ZelvoRelay/Collections/MediaItemCompare.h"

namespace ZelvoRelay::Collections {

namespace {

// A value that compares equal to the item with that id.
MVC::Model::MediaModel Key(uint32_t mediaId) {
    MVC::Model::MediaModel key;
    key.mMediaId = mediaId;
    return key;
}

}  // namespace

bool MediaCollection::RemoveMedia(uint32_t mediaId) {
    return Remove(Key(mediaId));
}

MediaCollection::Node* MediaCollection::FindMedia(uint32_t mediaId) const {
    return FindNode(Key(mediaId));
}

MediaCollection::Node* MediaCollection::FindStart(uint32_t startId) const {
    const MediaItemCompare compare(startId);
    Node* at = mRoot;
    for (;;) {
        if (at == nullptr) {
            return nullptr;
        }
        const int direction = compare.Compare(at);
        if (direction == 0) {
            return at;
        }
        at = Child(at, direction < 0 ? 1 : 0);
    }
}

}  // namespace ZelvoRelay::Collections
