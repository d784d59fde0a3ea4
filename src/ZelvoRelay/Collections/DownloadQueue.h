#pragma once

#include <cstdint>

#include "System/Collections/LinkList.h"
#include "System/Object.h"
#include "ZelvoRelay/MVC/Model/MediaTransferModel.h"

namespace ZelvoRelay::Collections {

// Downloads that wait because their client already runs as many as it may, in the order
// they were asked for. A waiting download holds no file: its stream is null.
//
// REQUIRES: the caller holds the downloads Monitor around every call.
class DownloadQueue : public System::Object {
  public:
    DownloadQueue() = default;
    ~DownloadQueue() override = default;
    DownloadQueue(const DownloadQueue&) = delete;
    DownloadQueue& operator=(const DownloadQueue&) = delete;

    // Appends download behind every one that waits already.
    void Add(const MVC::Model::MediaTransferModel& download);
    // Whether the matching download waits.
    [[nodiscard]] bool Contains(uint32_t clientId, uint32_t mediaId, uint32_t resourceId) const;
    // Takes out the client's download that has waited longest, into download; false when
    // none of the client's waits.
    bool TakeNext(uint32_t clientId, MVC::Model::MediaTransferModel& download);
    // Drops every waiting download of the client.
    void RemoveClient(uint32_t clientId);

  private:
    System::Collections::LinkList<MVC::Model::MediaTransferModel> mWaiting;  // oldest first
};

}  // namespace ZelvoRelay::Collections
