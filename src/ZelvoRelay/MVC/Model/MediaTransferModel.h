#pragma once

#include <cstdint>

#include "ZelvoRelay/MVC/Model/MediaModel.h"

namespace ZelvoRelay::Collections {
class HeldFile;
}  // namespace ZelvoRelay::Collections

namespace ZelvoRelay::MVC::Model {

// An upload or a download in progress: for an upload a full copy of the item it makes (a
// download holds the item's id alone), the client that moves it, the resource being moved
// and the open file. Transfers are told apart by (media id,
// resource id, client id) and ordered by them in that order, each compared as unsigned.
//
// A transfer holds its file only while a chunk moves, or while what it moves is being used
// whole (an upload's photo being made, a download whose item was removed): a client that
// reads or sends nothing would otherwise keep a descriptor for as long as it stays. Between
// chunks it keeps where it stands instead.
//
// The held file is not owned: copies share the pointer and the destructor leaves it alone. The
// one that ends the transfer deletes it (MediaTransferCollection::RemoveMedia, RemoveClient),
// which gives back its count of the table.
class MediaTransferModel : public MediaModel {
  public:
    MediaTransferModel() = default;
    // A transfer of item, with no client, resource 0 and no file held.
    explicit MediaTransferModel(const MediaModel& item) : MediaModel(item) {}
    // The key of a transfer, for finding or removing one.
    MediaTransferModel(uint32_t clientId, uint32_t mediaId, uint32_t resourceId);
    MediaTransferModel(const MediaTransferModel& other) = default;
    MediaTransferModel& operator=(const MediaTransferModel& other) = default;
    ~MediaTransferModel() override = default;

    bool operator==(const MediaTransferModel& other) const { return Compare(other) == 0; }
    bool operator<(const MediaTransferModel& other) const { return Compare(other) < 0; }
    bool operator<=(const MediaTransferModel& other) const { return Compare(other) <= 0; }
    bool operator>=(const MediaTransferModel& other) const { return Compare(other) >= 0; }
    bool operator>(const MediaTransferModel& other) const { return Compare(other) > 0; }
    using Object::operator==;

    uint32_t mClientId{0};                  // the relay client moving the file
    uint32_t mResourceId{0};                // 0 for an upload; the resource asked for otherwise
    Collections::HeldFile* mFile{nullptr};  // the file held open; not owned, shared by copies
    // The bytes moved so far: for a download where its next chunk begins, for an upload the
    // bytes written.
    uint64_t mPosition{0};
    // For a download, its file's length when its first chunk was read: the sending of its
    // last chunk ends it without opening the file again.
    uint64_t mLength{0};

  private:
    // -1, 0 or 1 by media id, then resource id, then client id.
    [[nodiscard]] int Compare(const MediaTransferModel& other) const;
};

}  // namespace ZelvoRelay::MVC::Model
