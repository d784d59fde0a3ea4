#include "ZelvoRelay/PostAction/PostSendMediaChunk.h"

#include "System/IO/DescriptorLimit.h"
#include "System/IO/FileStream.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/Media/GetMediaResponse.h"
#include "ZelvoRelay/Message/Media/MediaChunkMessage.h"

namespace ZelvoRelay::PostAction {

namespace {

using MVC::Model::MediaTransferModel;
using MVC::Model::ZelvoRelayModel;

// Tells the client that the download of the file it was told it would get will not come.
void AnswerNotComing(ZelvoRelayModel* model, uint32_t clientId, uint32_t mediaId,
                     uint32_t resourceId) {
    model->QueueMessage(
        new Message::Media::GetMediaResponse(clientId, Message::Media::GetMediaResponse::NotFound,
                                             mediaId, static_cast<uint8_t>(resourceId)),
        clientId, 0);
}

// Queues the next chunk of the running download, with the action that sends the one
// after; at the end of the file, or on a read error, ends the download instead. False
// when it ended. REQUIRES: the downloads monitor held.
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
        // Ended short without a word, the download would leave its client waiting for the
        // rest for good.
        if (offset != length) {
            AnswerNotComing(model, clientId, mediaId, resourceId);
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

// Starts the client's downloads that wait, longest first, until one runs. Each was answered
// Accepted when asked; one that cannot start now (its item removed since, its file
// unreadable or its descriptor in the reserve) is answered NotFound, as a request made now
// would be: dropped in silence, it would leave its client waiting for it for good.
// REQUIRES: the downloads monitor held.
void StartWaiting(ZelvoRelayModel* model, uint32_t clientId) {
    Collections::DownloadQueue::File file;
    while (model->WaitingDownloads.TakeNext(clientId, file)) {
        MediaTransferModel next;
        if (!PostSendMediaChunk::Open(clientId, file.mMediaId, file.mResourceId, next)) {
            AnswerNotComing(model, clientId, file.mMediaId, file.mResourceId);
            continue;
        }
        model->Downloads.Add(next);
        if (SendChunk(model, clientId, file.mMediaId, file.mResourceId)) {
            return;
        }
    }
}

}  // namespace

bool PostSendMediaChunk::Open(uint32_t clientId, uint32_t mediaId, uint32_t resourceId,
                              MediaTransferModel& download) {
    ZelvoRelayModel* model = ZelvoRelayModel::Instance();
    model->Media.mMonitor.Enter();
    const auto* item = model->Media.FindMedia(mediaId);
    if (item != nullptr) {
        download = MediaTransferModel(item->mValue);
    }
    model->Media.mMonitor.Exit();
    if (item == nullptr) {
        return false;
    }
    download.mClientId = clientId;
    download.mResourceId = resourceId;
    // Any resource number whose file exists may be fetched.
    auto* file = new System::IO::FileStream(download.GetResourcePath(resourceId), 3);
    // Kept open in the reserve, the downloads of a few members could leave no descriptor
    // for a save.
    if (file->CanRead() && !System::IO::DescriptorLimit::IsReserved(file->Descriptor())) {
        download.mStream = file;
        return true;
    }
    delete file;
    return false;
}

void PostSendMediaChunk::Execute() {
    ZelvoRelayModel* model = ZelvoRelayModel::Instance();
    auto& downloads = model->Downloads;
    downloads.mMonitor.Enter();
    // A download that ends makes way for its client's next waiting one.
    if (downloads.Find(mClientId, mMediaId, mResourceId) != nullptr &&
        !SendChunk(model, mClientId, mMediaId, mResourceId)) {
        StartWaiting(model, mClientId);
    }
    downloads.mMonitor.Exit();
}

}  // namespace ZelvoRelay::PostAction
