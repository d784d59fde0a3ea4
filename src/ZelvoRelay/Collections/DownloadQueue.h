#pragma once

#include <cstdint>
#include <deque>
#include <unordered_map>
#include <unordered_set>

#include "System/Object.h"

namespace ZelvoRelay::Collections {

// Downloads that wait because their client already runs as many as it may: for each client,
// the files it asked for in the order asked, each named by its media id and resource id
// alone. Asking, starting and leaving look at the one client's downloads only, so they cost
// the same however many other clients have waiting; a client's downloads are let go, with
// their memory, once none of them waits.
//
// REQUIRES: the caller holds the downloads Monitor around every call.
class DownloadQueue : public System::Object {
  public:
    // The file a waiting download names.
    struct File {
        uint32_t mMediaId{0};
        uint32_t mResourceId{0};
    };

    DownloadQueue() = default;
    ~DownloadQueue() override = default;
    DownloadQueue(const DownloadQueue&) = delete;
    DownloadQueue& operator=(const DownloadQueue&) = delete;

    // Appends the file behind every one the client has waiting; nothing when it waits
    // already, so a client never has more waiting than there are files.
    void Add(uint32_t clientId, uint32_t mediaId, uint32_t resourceId);
    // Whether the client's download of the file waits.
    [[nodiscard]] bool Contains(uint32_t clientId, uint32_t mediaId, uint32_t resourceId) const;
    // Whether any download of the client waits.
    [[nodiscard]] bool Holds(uint32_t clientId) const { return mClients.count(clientId) > 0; }
    // Takes out the client's download that has waited longest, into next; false when none
    // of the client's waits.
    bool TakeNext(uint32_t clientId, File& next);
    // Drops every waiting download of the client.
    void RemoveClient(uint32_t clientId);

  private:
    // One client's waiting downloads, each file as Key gives it.
    struct Waiting {
        std::deque<uint64_t> mOrder;            // oldest first
        std::unordered_set<uint64_t> mWaiting;  // the same files, for the duplicate check
    };

    // The media id and the resource id of a file in one number.
    [[nodiscard]] static uint64_t Key(uint32_t mediaId, uint32_t resourceId) {
        return uint64_t{mediaId} << 32 | resourceId;
    }

    // Only clients with a download waiting have an entry.
    std::unordered_map<uint32_t, Waiting> mClients;
};

}  // namespace ZelvoRelay::Collections
