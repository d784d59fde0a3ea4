#pragma once

#include <cstdint>

#include "ZelvoRelay/Collections/MediaTree.h"
#include "ZelvoRelay/MVC/Model/MediaModel.h"

namespace ZelvoRelay::Collections {

// The catalogue of shared photos, ordered by media id (unsigned), never holding two items with
// the same id. Its Monitor guards it; the collection takes no lock itself.
class MediaCollection : public MediaTree<MVC::Model::MediaModel> {
  public:
    ~MediaCollection() override = default;

    // Removes the item with that id; false when there is none.
    bool RemoveMedia(uint32_t mediaId);
    // The node of the item with that id; null when there is none.
    [[nodiscard]] Node* FindMedia(uint32_t mediaId) const;
    // The node at which a listing from startId begins (the MediaItemCompare search): the
    // item with that id, else one of the two items next to it (which one depends on the
    // tree's shape), else the smallest or the greatest item when startId lies beyond every
    // id; so 0xFFFFFFFF starts at the greatest. Null when the catalogue is empty.
    [[nodiscard]] Node* FindStart(uint32_t startId) const;
};

}  // namespace ZelvoRelay::Collections
