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

void MediaCollection::Add(const MVC::Model::MediaModel& item) {
    MediaTree::Add(item);
    Remember(item.mMediaId);
}

bool MediaCollection::Remove(const MVC::Model::MediaModel& item) {
    const bool removed = MediaTree::Remove(item);
    Remember(item.mMediaId);
    return removed;
}

void MediaCollection::Clear() {
    MediaTree::Clear();
    mChangedIds.clear();
    mChangedIdsFrom = GetChanges();
}

std::optional<std::vector<uint32_t>> MediaCollection::ChangedSince(uint64_t changes) const {
    if (changes < mChangedIdsFrom || changes > GetChanges()) {
        return std::nullopt;
    }
    return std::vector<uint32_t>(
        mChangedIds.begin() + static_cast<ptrdiff_t>(changes - mChangedIdsFrom), mChangedIds.end());
}

void MediaCollection::Remember(uint32_t mediaId) {
    mChangedIds.push_back(mediaId);
    if (mChangedIds.size() > kRememberedChanges) {
        mChangedIds.pop_front();
        ++mChangedIdsFrom;
    }
}

bool MediaCollection::RemoveMedia(uint32_t mediaId) {
    if (!Remove(Key(mediaId))) {
        return false;
    }
    mRemoved.insert(mediaId);
    return true;
}

void MediaCollection::RemoveAll() {
    for (Node* node = First(); node != nullptr; node = Next(node)) {
        mRemoved.insert(node->mValue.mMediaId);
    }
    Clear();
}

bool MediaCollection::HoldsId(uint32_t mediaId) const {
    return FindMedia(mediaId) != nullptr || mRemoved.count(mediaId) != 0;
}

std::vector<uint32_t> MediaCollection::RemovedIds() const {
    return std::vector<uint32_t>(mRemoved.begin(), mRemoved.end());
}

void MediaCollection::ForgetRemoved(const std::vector<uint32_t>& mediaIds) {
    for (uint32_t mediaId : mediaIds) {
        mRemoved.erase(mediaId);
    }
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
