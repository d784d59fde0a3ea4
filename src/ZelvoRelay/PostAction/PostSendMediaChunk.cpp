#include "ZelvoRelay/PostAction/PostSendMediaChunk.h"

#include "System/IO/DescriptorLimit.h"
#include "System/IO/DescriptorRoom.h"
#include "System/IO/FileReader.h"
#include "System/IO/FileStatus.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/Media/GetMediaResponse.h"
#include "ZelvoRelay/Message/Media/MediaChunkMessage.h"

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
// closed to make room; null when none is left to close.
System::IO::FileReader* OpenBelowReserve(const System::String& path) {
    for (;;) {
        auto* file = new System::IO::FileReader(path);
        if (!file->CanRead() || !System::IO::DescriptorLimit::IsReserved(file->Descriptor())) {
            return file;
        }
        delete file;
        if (!System::IO::DescriptorRoom::Make(System::IO::DescriptorRoom::Use::Download)) {
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
    model->Media.mMonitor.Enter();
    const bool listed = model->Media.FindMedia(mediaId) != nullptr;
    model->Media.mMonitor.Exit();
    return listed;
}

// The file of resource resourceId of item mediaId opened for reading (the caller's); null
// when the catalogue no longer holds the item, or its file cannot be read, is empty or finds
// no descriptor below the reserve kept for the saves. Takes the catalogue monitor, and the
// client-collection monitor when it makes room; making room off a client worker first takes
// every client worker's list monitor too.
System::IO::Stream* Open(uint32_t mediaId, uint32_t resourceId) {
    if (!Listed(mediaId)) {
        return nullptr;
    }
    // Any resource number whose file exists may be fetched.
    System::IO::FileReader* file = OpenBelowReserve(ResourcePath(mediaId, resourceId));
    // An empty file would end the download before its first chunk, and the client, told it
    // comes, would wait for it for good.
    if (file != nullptr && file->CanRead() && file->Length() > 0) {
        return file;
    }
    delete file;
    return nullptr;
}

// Queues the next chunk of the running download, with the action that sends the one
// after; at the end of the file, or on a read error, ends the download instead. False
// when it ended. REQUIRES: the downloads monitor held, the download's file open.
bool SendChunk(ZelvoRelayModel* model, uint32_t clientId, uint32_t mediaId, uint32_t resourceId) {
    System::IO::Stream& file = *model->Downloads.Find(clientId, mediaId, resourceId)->mStream;
    const int64_t offset = file.Position();
    const int64_t length = file.Length();
    unsigned char buffer[PostSendMediaChunk::ChunkSize];
    // A read that yields nothing before the end (a read error) ends the download too;
    // sending an empty chunk instead would repeat it for ever.
    const int read =
        file.CanRead() && offset < length ? file.Read(buffer, 0, PostSendMediaChunk::ChunkSize) : 0;
    if (read <= 0) {
        model->Downloads.RemoveMedia(clientId, mediaId, resourceId);
        // Ended short without a word, or with no byte sent (a file emptied since it was
        // opened), the download would leave its client waiting for the rest for good.
        if (offset != length || offset == 0) {
            Answer(model, clientId, mediaId, resourceId, GetMediaResponse::NotFound);
        }
        return false;
    }
    model->QueueMessage(
        new Message::Media::MediaChunkMessage(
            clientId, mediaId, static_cast<uint8_t>(resourceId), static_cast<uint32_t>(offset),
            static_cast<uint16_t>(read), reinterpret_cast<const char*>(buffer)),
        clientId, 0, new PostSendMediaChunk(clientId, mediaId, resourceId));
    return true;
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
        // Opened outside the downloads monitor: every client's requests and chunks wait on
        // that monitor, and none should wait on this client's disk.
        System::IO::Stream* opened = Open(file.mMediaId, file.mResourceId);
        const bool readable = opened != nullptr;
        if (readable && answer) {
            // Queued before the first chunk can be.
            Answer(model, clientId, file.mMediaId, file.mResourceId, GetMediaResponse::Accepted);
        }
        downloads.mMonitor.Enter();
        // Gone when its client has left, which ended its waiting downloads too.
        MediaTransferModel* claimed = downloads.Find(clientId, file.mMediaId, file.mResourceId);
        bool running = false;
        if (claimed != nullptr && readable) {
            claimed->mStream = opened;
            opened = nullptr;
            running = SendChunk(model, clientId, file.mMediaId, file.mResourceId);
        } else if (claimed != nullptr) {
            downloads.RemoveMedia(clientId, file.mMediaId, file.mResourceId);
        }
        const Collections::DownloadQueue::File ended = file;
        next = claimed != nullptr && !running && ClaimNext(model, clientId, file);
        downloads.mMonitor.Exit();
        delete opened;
        // A download that was accepted, or waited after it was, is answered that it will not
        // come rather than dropped in silence: its client would wait for it for good.
        if (claimed != nullptr && !readable) {
            Answer(model, clientId, ended.mMediaId, ended.mResourceId, GetMediaResponse::NotFound);
        }
    }
}

void PostSendMediaChunk::Execute() {
    ZelvoRelayModel* model = ZelvoRelayModel::Instance();
    auto& downloads = model->Downloads;
    downloads.mMonitor.Enter();
    const MediaTransferModel* download = downloads.Find(mClientId, mMediaId, mResourceId);
    // A download that ends makes way for its client's next waiting one.
    Collections::DownloadQueue::File next;
    const bool starts = download != nullptr && download->mStream != nullptr &&
                        !SendChunk(model, mClientId, mMediaId, mResourceId) &&
                        ClaimNext(model, mClientId, next);
    downloads.mMonitor.Exit();
    if (starts) {
        Start(mClientId, next.mMediaId, next.mResourceId, false);
    }
}

}  // namespace ZelvoRelay::PostAction
