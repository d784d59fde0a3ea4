#pragma once

#include <cstdint>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ZelvoRelay/Collections/MediaTree.h"
#include "ZelvoRelay/MVC/Model/MediaTransferModel.h"

namespace ZelvoRelay::Collections {

// Uploads or downloads in progress, ordered by (media id, resource id, client id), never
// holding two equal transfers, and each client's transfers apart, so that a client's
// leaving or its count costs the same however many transfers others have. Its Monitor
// guards it; the collection takes no lock itself.
class MediaTransferCollection : public MediaTree<MVC::Model::MediaTransferModel> {
  public:
    // A transfer ended with its client, and how far its file had come.
    struct Ended {
        MVC::Model::MediaTransferModel mTransfer;  // with no held file
        // How far it had come: for an upload, the bytes received.
        uint64_t mPosition{0};
    };

    // Deletes the held files of the transfers still held, closing them and giving back their
    // counts of the table.
    ~MediaTransferCollection() override;

    void Add(const MVC::Model::MediaTransferModel& transfer) override;
    bool Remove(const MVC::Model::MediaTransferModel& transfer) override;
    void Clear() override;

    // Ends the matching transfer: deletes its held file, if it holds one, giving back its
    // count (the file stays on disk), and removes it. False when there is none.
    bool RemoveMedia(uint32_t clientId, uint32_t mediaId, uint32_t resourceId);
    // Ends the matching upload as RemoveMedia does and removes the file it was writing: an
    // upload that makes no catalogue item leaves a file nothing refers to, and abandoned
    // uploads would otherwise fill the disk. False when there is none.
    bool DiscardUpload(uint32_t clientId, uint32_t mediaId, uint32_t resourceId);
    // Ends every upload as DiscardUpload does.
    void DiscardUploads();
    // The matching transfer, valid until the collection next changes; null when there is
    // none.
    [[nodiscard]] MVC::Model::MediaTransferModel* Find(uint32_t clientId, uint32_t mediaId,
                                                       uint32_t resourceId) const;
    // Ends every transfer of the client as RemoveMedia does. Returns the ended transfers,
    // in order, so the caller can tidy and tell of their files.
    std::vector<Ended> RemoveClient(uint32_t clientId);
    // The number of transfers of the client.
    [[nodiscard]] uint32_t CountClient(uint32_t clientId) const;
    // True when some transfer concerns that media id.
    [[nodiscard]] bool HoldsMedia(uint32_t mediaId) const;
    // The transfers of that media id, valid until the collection next changes; found without
    // a walk of the others.
    [[nodiscard]] std::vector<MVC::Model::MediaTransferModel*> OfMedia(uint32_t mediaId) const;

  private:
    // The (media id, resource id) of each transfer of each client that has one. Without it
    // a client's leaving searched every transfer: connections holding downloads made
    // each one's leaving cost as much as all of them.
    std::unordered_map<uint32_t, std::set<std::pair<uint32_t, uint32_t>>> mByClient;
};

}  // namespace ZelvoRelay::Collections
