#include "ZelvoRelay/PostAction/PostSendMediaChunk.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "System/IO/DescriptorLimit.h"
#include "System/IO/DescriptorRoom.h"
#include "System/IO/FileReader.h"
#include "System/IO/FileStatus.h"
#include "System/Threading/MonitorLock.h"
#include "ZelvoRelay/Collections/HeldFile.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/Media/GetMediaResponse.h"
#include "ZelvoRelay/Message/Media/MediaChunkMessage.h"
#include "ZelvoRelay/Threading/DownloadStart.h"

namespace ZelvoRelay::PostAction {

namespace {

using Message::Media::GetMediaResponse;
using MVC::Model::MediaTransferModel;
using MVC::Model::ZelvoRelayModel;

void Answer(ZelvoRelayModel* model, uint32_t clientId, uint32_t mediaId, uint32_t resourceId,
            GetMediaResponse::ErrorType error) {
    model->QueueMessage(
        new GetMediaResponse(clientId, error, mediaId, static_cast<uint8_t>(resourceId)), clientId,
        0);
}

// The file at path opened for reading, with a descriptor below the reserve kept for the
// saves: kept open in the reserve, the downloads of a few members could leave no descriptor
// for a save. Where it lands in the reserve, a relay connection that has not joined is
// closed to make room; null when none is left to close. On a client worker no room is made:
// the closing waits for every client worker, that one among them. Null with deferred set
// then, for the message worker to try again.
std::unique_ptr<System::IO::FileReader> OpenBelowReserve(const System::String& path,
                                                         bool& deferred) {
    for (;;) {
        auto file = std::make_unique<System::IO::FileReader>(path);
        if (!file->CanRead() || !System::IO::DescriptorLimit::IsReserved(file->Descriptor())) {
            return file;
        }
        file.reset();
        deferred = ZelvoRelayModel::Instance()->IsOnClientWorker();
        if (deferred ||
            !System::IO::DescriptorRoom::Make(System::IO::DescriptorRoom::Use::Download)) {
            return nullptr;
        }
    }
}

// The file of resource resourceId of item mediaId, named by the ids alone: a copy of the
// item, which nothing of a download reads, cost more than the rest of its start.
System::String ResourcePath(uint32_t mediaId, uint32_t resourceId) {
    return MVC::Model::MediaModel::GetResourcePath(
        ZelvoRelayModel::Instance()->Configuration.MediaPath, mediaId, resourceId);
}

// Whether the catalogue lists item mediaId. Takes the catalogue monitor.
bool Listed(uint32_t mediaId) {
    ZelvoRelayModel* model = ZelvoRelayModel::Instance();
    System::Threading::MonitorLock lock(model->Media.mMonitor);
    const bool listed = model->Media.FindMedia(mediaId) != nullptr;
    return listed;
}

// The file of resource resourceId of item mediaId opened for reading (the caller's); null
// when it cannot be read or finds no descriptor below the reserve kept for the saves, or,
// with deferred set, when only the message worker may make room for it (OpenBelowReserve).
// For the first chunk (first), null too when the catalogue no longer holds the item or the
// file is empty. Takes the catalogue monitor, and when it makes room every client worker's
// list monitor and the client-collection monitor.
std::unique_ptr<System::IO::Stream> Open(uint32_t mediaId, uint32_t resourceId, bool first,
                                         bool& deferred) {
    // A download that runs goes on to its end once its item is removed.
    if (first && !Listed(mediaId)) {
        return nullptr;
    }
    // Any resource number whose file exists may be fetched.
    std::unique_ptr<System::IO::FileReader> file =
        OpenBelowReserve(ResourcePath(mediaId, resourceId), deferred);
    // An empty file would end the download before its first chunk, and the client, told it
    // comes, would wait for it for good.
    if (file != nullptr && file->CanRead() && (!first || file->Length() > 0)) {
        return file;
    }
    return nullptr;
}

// Queues the next chunks of the running download (ChunksPerRead at most), read from file at
// where the download stands, with the action that sends the ones after attached to the last;
// at the end of the file (where file may be null), or on a read error, ends the download
// instead. False when it ended. REQUIRES: the downloads monitor held.
bool SendChunk(ZelvoRelayModel* model, uint32_t clientId, uint32_t mediaId, uint32_t resourceId,
               System::IO::Stream* file) {
    MediaTransferModel& download = *model->Downloads.Find(clientId, mediaId, resourceId);
    const uint64_t offset = download.mPosition;
    if (offset == 0 && file != nullptr) {
        download.mLength = static_cast<uint64_t>(std::max<int64_t>(file->Length(), 0));
    }
    const uint64_t length = download.mLength;
    constexpr int kRead = PostSendMediaChunk::ChunkSize * PostSendMediaChunk::ChunksPerRead;
    const auto count =
        static_cast<int>(std::min<uint64_t>(kRead, length - std::min(offset, length)));
    unsigned char buffer[kRead];
    // A read that yields nothing before the end (a read error) ends the download too;
    // sending an empty chunk instead would repeat it for ever.
    const auto at = static_cast<int64_t>(offset);
    const int read = file != nullptr && count > 0 && file->CanRead() &&
                             (file->Position() == at || file->Position(at) == at)
                         ? file->Read(buffer, 0, count)
                         : 0;
    if (read <= 0) {
        model->Downloads.RemoveMedia(clientId, mediaId, resourceId);
        // Ended short without a word, or with no byte sent (a file emptied since it was
        // opened), the download would leave its client waiting for the rest for good.
        if (offset != length || offset == 0) {
            Answer(model, clientId, mediaId, resourceId, GetMediaResponse::NotFound);
        }
        return false;
    }
    download.mPosition += static_cast<uint64_t>(read);
    for (int sent = 0; sent < read; sent += PostSendMediaChunk::ChunkSize) {
        const int size = std::min(PostSendMediaChunk::ChunkSize, read - sent);
        const bool last = sent + size == read;
        model->QueueMessage(
            new Message::Media::MediaChunkMessage(
                clientId, mediaId, static_cast<uint8_t>(resourceId),
                static_cast<uint32_t>(offset) + static_cast<uint32_t>(sent),
                static_cast<uint16_t>(size), reinterpret_cast<const char*>(buffer + sent)),
            clientId, 0, last ? new PostSendMediaChunk(clientId, mediaId, resourceId) : nullptr);
    }
    return true;
}

// How far a download whose place is claimed has come.
struct Claim {
    bool mClaimed{false};  // it still holds its place: its client has not left
    bool mStarted{false};  // its first chunk has been read
    bool mHeld{false};     // it holds its file open (HoldRemoved)
    bool mSent{false};     // every byte of its file has been read
};

// What clientId's download of file has come to. Takes the downloads monitor.
Claim Look(ZelvoRelayModel* model, uint32_t clientId,
           const Collections::DownloadQueue::File& file) {
    auto& downloads = model->Downloads;
    System::Threading::MonitorLock lock(downloads.mMonitor);
    const MediaTransferModel* download = downloads.Find(clientId, file.mMediaId, file.mResourceId);
    Claim claim;
    if (download != nullptr) {
        claim = {true, download->mPosition > 0, download->mFile != nullptr,
                 download->mPosition > 0 && download->mPosition >= download->mLength};
    }
    return claim;
}

// Takes the client's download that has waited longest into next and claims its place among
// the running ones: a transfer with no file yet, which counts against the client's bound and
// answers a repeated request, while its file is opened outside the monitor. False when none
// of the client's waits. REQUIRES: the downloads monitor held.
bool ClaimNext(ZelvoRelayModel* model, uint32_t clientId, Collections::DownloadQueue::File& next) {
    if (!model->WaitingDownloads.TakeNext(clientId, next)) {
        return false;
    }
    model->Downloads.Add(MediaTransferModel(clientId, next.mMediaId, next.mResourceId));
    return true;
}

// Claims, as ClaimNext does, the download of client that takes a freed place of its
// address's connections that have not joined (client, from UnjoinedDownloads, already holds
// it), passing the place on while client has none waiting; client becomes the one whose
// download is claimed. False when none takes it. REQUIRES: the downloads monitor held.
bool ClaimPassedOn(ZelvoRelayModel* model, uint32_t& client,
                   Collections::DownloadQueue::File& next) {
    while (client != 0 && !ClaimNext(model, client, next)) {
        client = model->UnjoinedDownloads.End(client, false);
    }
    return client != 0;
}

// After a download of clientId ended: claims the one that takes its place, as ClaimNext
// does: the client's own next, or, for a connection that has not joined, that of the
// connection of its address whose turn it is; clientId becomes its client. False when none
// does. REQUIRES: the downloads monitor held.
bool ClaimAfter(ZelvoRelayModel* model, uint32_t& clientId,
                Collections::DownloadQueue::File& next) {
    if (!model->UnjoinedDownloads.Knows(clientId)) {
        return ClaimNext(model, clientId, next);
    }
    clientId = model->UnjoinedDownloads.End(clientId, model->WaitingDownloads.Holds(clientId));
    return ClaimPassedOn(model, clientId, next);
}

}  // namespace

bool PostSendMediaChunk::CanBeSent(uint32_t mediaId, uint32_t resourceId) {
    return Listed(mediaId) && System::IO::FileStatus::HoldsBytes(ResourcePath(mediaId, resourceId));
}

void PostSendMediaChunk::Start(uint32_t clientId, uint32_t mediaId, uint32_t resourceId,
                               bool answer) {
    ZelvoRelayModel* model = ZelvoRelayModel::Instance();
    auto& downloads = model->Downloads;
    Collections::DownloadQueue::File file{mediaId, resourceId};
    for (bool next = true; next; answer = false) {
        // A start queued for a client that has left since opens nothing: at the reserve its
        // file would close another party's connection to make room for nobody.
        const Claim claim = Look(model, clientId, file);
        if (!claim.mClaimed) {
            return;
        }
        // Opened for this chunk alone, outside the downloads monitor: every client's requests
        // and chunks wait on that monitor, and none should wait on this client's disk. Held
        // from one chunk to the next, the files of members who read nothing filled the table.
        bool deferred = false;
        std::unique_ptr<System::IO::Stream> opened =
            claim.mHeld || claim.mSent
                ? nullptr
                : Open(file.mMediaId, file.mResourceId, !claim.mStarted, deferred);
        if (deferred) {
            // Its place stays claimed meanwhile.
            model->QueueTask(
                new Threading::DownloadStart(clientId, file.mMediaId, file.mResourceId, answer));
            return;
        }
        if (opened != nullptr && answer) {
            // Queued before the first chunk can be.
            Answer(model, clientId, file.mMediaId, file.mResourceId, GetMediaResponse::Accepted);
        }
        System::Threading::MonitorLock lock(downloads.mMonitor);
        // Gone when its client has left, which ended its waiting downloads too.
        MediaTransferModel* claimed = downloads.Find(clientId, file.mMediaId, file.mResourceId);
        // A file held since it was looked at (its item removed meanwhile) is the one to read:
        // the one at the path may be deleted already.
        System::IO::Stream* source = claimed == nullptr          ? nullptr
                                     : claimed->mFile != nullptr ? &claimed->mFile->File()
                                                                 : opened.get();
        // One whose every byte was read ends at the end of its file, which it need not open.
        const bool readable = source != nullptr || (claimed != nullptr && claim.mSent);
        bool running = false;
        if (readable) {
            running = SendChunk(model, clientId, file.mMediaId, file.mResourceId, source);
        } else if (claimed != nullptr) {
            downloads.RemoveMedia(clientId, file.mMediaId, file.mResourceId);
        }
        const uint32_t endedClient = clientId;
        const Collections::DownloadQueue::File ended = file;
        next = claimed != nullptr && !running && ClaimAfter(model, clientId, file);
        lock.Unlock();
        // Closed outside the monitor, as it was opened.
        opened.reset();
        // A download that was accepted, or waited after it was, is answered that it will not
        // come rather than dropped in silence: its client would wait for it for good.
        if (claimed != nullptr && !readable) {
            Answer(model, endedClient, ended.mMediaId, ended.mResourceId,
                   GetMediaResponse::NotFound);
        }
    }
}

void PostSendMediaChunk::HoldRemoved(uint32_t mediaId) {
    ZelvoRelayModel* model = ZelvoRelayModel::Instance();
    auto& downloads = model->Downloads;
    System::Threading::MonitorLock lock(downloads.mMonitor);
    // Opened under the monitor, so that no chunk of these downloads is read in between: one
    // opened by its path after the save deleted the file would end the download short. Rare,
    // and never more files than the table's count allows.
    for (MediaTransferModel* download : downloads.OfMedia(mediaId)) {
        if (download->mFile != nullptr || download->mPosition == 0) {
            continue;
        }
        std::unique_ptr<Collections::HeldFile> held = Collections::HeldFile::Take();
        if (held == nullptr) {
            continue;
        }
        auto file =
            std::make_unique<System::IO::FileReader>(ResourcePath(mediaId, download->mResourceId));
        if (file->CanRead() && !System::IO::DescriptorLimit::IsReserved(file->Descriptor())) {
            held->Keep(std::move(file));
            download->mFile = held.release();
        }
    }
}

void PostSendMediaChunk::StartJoined(uint32_t clientId) {
    ZelvoRelayModel* model = ZelvoRelayModel::Instance();
    auto& downloads = model->Downloads;
    std::vector<std::pair<uint32_t, Collections::DownloadQueue::File>> starts;
    Collections::DownloadQueue::File file;
    System::Threading::MonitorLock lock(downloads.mMonitor);
    uint32_t other = model->UnjoinedDownloads.Forget(clientId);
    if (ClaimPassedOn(model, other, file)) {
        starts.emplace_back(other, file);
    }
    while (downloads.CountClient(clientId) < model->Configuration.MaxDownloadsPerMember &&
           ClaimNext(model, clientId, file)) {
        starts.emplace_back(clientId, file);
    }
    lock.Unlock();
    for (const auto& [client, claimed] : starts) {
        Start(client, claimed.mMediaId, claimed.mResourceId, false);
    }
}

void PostSendMediaChunk::EndClient(uint32_t clientId) {
    ZelvoRelayModel* model = ZelvoRelayModel::Instance();
    auto& downloads = model->Downloads;
    Collections::DownloadQueue::File file;
    System::Threading::MonitorLock lock(downloads.mMonitor);
    downloads.RemoveClient(clientId);
    model->WaitingDownloads.RemoveClient(clientId);
    uint32_t other = model->UnjoinedDownloads.Forget(clientId);
    const bool starts = ClaimPassedOn(model, other, file);
    lock.Unlock();
    // Started in the message worker's turn: the caller may be making room for a descriptor.
    if (starts) {
        model->QueueTask(
            new Threading::DownloadStart(other, file.mMediaId, file.mResourceId, false));
    }
}

void PostSendMediaChunk::Execute() {
    // A download that ends makes way for its client's next waiting one, or for a connection
    // that has not joined, for the next of its address (Start).
    Start(mClientId, mMediaId, mResourceId, false);
}

}  // namespace ZelvoRelay::PostAction
