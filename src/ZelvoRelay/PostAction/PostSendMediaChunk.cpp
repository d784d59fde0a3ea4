#include "ZelvoRelay/PostAction/PostSendMediaChunk.h"

#include "System/IO/DescriptorLimit.h"
#include "System/IO/FileStream.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/Media/MediaChunkMessage.h"

namespace ZelvoRelay::PostAction {

namespace {

using MVC::Model::MediaTransferModel;
using MVC::Model::ZelvoRelayModel;

// Queues the next chunk of the running download, with the action that sends the one
// after; at the end of the file, or on a read error, ends the download instead. False
// when it ended. REQUIRES: the downloads monitor held.
bool SendChunk(ZelvoRelayModel* model, uint32_t clientId, uint32_t mediaId, uint32_t resourceId) {
    System::IO::Stream& file = *model->Downloads.Find(clientId, mediaId, resourceId)->mStream;
    const int64_t offset = file.Position();
    unsigned char buffer[PostSendMediaChunk::ChunkSize];
    // A read that yields nothing before the end (a read error) ends the download too;
    // sending an empty chunk instead would repeat it for ever.
    const int read = file.CanRead() && offset < file.Length()
                         ? file.Read(buffer, 0, PostSendMediaChunk::ChunkSize)
                         : 0;
    if (read <= 0) {
        model->Downloads.RemoveMedia(clientId, mediaId, resourceId);
        return false;
    }
    model->QueueMessage(
        new Message::Media::MediaChunkMessage(
            clientId, mediaId, static_cast<uint8_t>(resourceId), static_cast<uint32_t>(offset),
            static_cast<uint16_t>(read), reinterpret_cast<const char*>(buffer)),
        clientId, 0, new PostSendMediaChunk(clientId, mediaId, resourceId));
    return true;
}

// Starts the client's downloads that wait, longest first, until one runs. One whose
// file can no longer be read (removed since it was asked for) ends without a chunk, as a
// download whose reading fails does. REQUIRES: the downloads monitor held.
void StartWaiting(ZelvoRelayModel* model, uint32_t clientId) {
    MediaTransferModel next;
    while (model->WaitingDownloads.TakeNext(clientId, next)) {
        next.mStream = PostSendMediaChunk::OpenFile(next);
        if (next.mStream == nullptr) {
            continue;
        }
        model->Downloads.Add(next);
        if (SendChunk(model, clientId, next.mMediaId, next.mResourceId)) {
            return;
        }
    }
}

}  // namespace

System::IO::Stream* PostSendMediaChunk::OpenFile(const MediaTransferModel& download) {
    auto* file = new System::IO::FileStream(download.GetResourcePath(download.mResourceId), 3);
    // Kept open in the reserve, the downloads of a few members could leave no descriptor
    // for a save.
    if (file->CanRead() && !System::IO::DescriptorLimit::IsReserved(file->Descriptor())) {
        return file;
    }
    delete file;
    return nullptr;
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
