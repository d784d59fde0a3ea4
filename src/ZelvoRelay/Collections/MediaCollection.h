#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <set>
#include <vector>

#include "ZelvoRelay/Collections/MediaTree.h"
#include "ZelvoRelay/MVC/Model/MediaModel.h"

namespace ZelvoRelay::Collections {

// The catalogue of shared photos, ordered by media id (unsigned), never holding two items with
// the same id, and the ids of removed items whose files have not been deleted yet. Its Monitor
// guards it; the collection takes no lock itself.
class MediaCollection : public MediaTree<MVC::Model::MediaModel> {
  public:
    // The changes whose ids are remembered.
    static constexpr size_t kRememberedChanges = 1024;

    ~MediaCollection() override = default;

    void Add(const MVC::Model::MediaModel& item) override;
    bool Remove(const MVC::Model::MediaModel& item) override;
    void Clear() override;

    // Removes the item with that id; false when there is none. Its files wait for deletion
    // (RemovedIds), and its id stays in use, until ForgetRemoved.
    bool RemoveMedia(uint32_t mediaId);
    // Removes every item as RemoveMedia does.
    void RemoveAll();
    // Whether an item or the waiting files of a removed one hold the id, so that a new item
    // may not take it: their deletion would take the new item's files.
    [[nodiscard]] bool HoldsId(uint32_t mediaId) const;
    // The ids of removed items whose files wait for deletion, ascending.
    [[nodiscard]] std::vector<uint32_t> RemovedIds() const;
    // Frees the ids of removed items whose files have been deleted.
    void ForgetRemoved(const std::vector<uint32_t>& mediaIds);
    // The node of the item with that id; null when there is none.
    [[nodiscard]] Node* FindMedia(uint32_t mediaId) const;
    // The node at which a listing from startId begins (the MediaItemCompare search): the
    // item with that id, else one of the two items next to it (which one depends on the
    // tree's shape), else the smallest or the greatest item when startId lies beyond every
    // id; so 0xFFFFFFFF starts at the greatest. Null when the catalogue is empty.
    [[nodiscard]] Node* FindStart(uint32_t startId) const;
    // The ids of the items added or removed since the change count was changes (GetChanges),
    // so that what a reader made of the other items stays current; nothing when those
    // changes are no longer all remembered (more than kRememberedChanges, or a Clear).
    [[nodiscard]] std::optional<std::vector<uint32_t>> ChangedSince(uint64_t changes) const;

  private:
    // Remembers the id of the change just counted.
    void Remember(uint32_t mediaId);

    std::set<uint32_t> mRemoved;  // removed items whose files wait; guarded by mMonitor
    // The ids of the last changes, oldest first, and the change count before the oldest;
    // guarded by mMonitor.
    std::deque<uint32_t> mChangedIds;
    uint64_t mChangedIdsFrom{0};
};

}  // namespace ZelvoRelay::Collections
