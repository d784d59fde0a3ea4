#include "ZelvoRelay/Processor/Media/GetMediaRequestProcessor.h"

#include <cstdint>

#include "System/IO/FileStream.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/Media/GetMediaRequest.h"
#include "ZelvoRelay/Message/Media/GetMediaResponse.h"
#include "ZelvoRelay/PostAction/PostSendMediaChunk.h"

namespace ZelvoRelay::Processor::Media {

void GetMediaRequestProcessor::Process(Message::BaseMessage* message, uint32_t clientId) {
    using Message::Media::GetMediaResponse;
    const auto& request = *static_cast<Message::Media::GetMediaRequest*>(message);
    const uint32_t mediaId = request.GetMediaId();
    const uint8_t resourceId = request.GetResourceId();
    MVC::Model::ZelvoRelayModel* model = MVC::Model::ZelvoRelayModel::Instance();
    const auto answer = [model, clientId, mediaId, resourceId](GetMediaResponse::ErrorType error) {
        model->QueueMessage(new GetMediaResponse(clientId, error, mediaId, resourceId), clientId,
                            0);
    };

    model->Media.mMonitor.Enter();
    const auto* item = model->Media.FindMedia(mediaId);
    MVC::Model::MediaTransferModel download;
    if (item != nullptr) {
        download = MVC::Model::MediaTransferModel(item->mValue);
    }
    model->Media.mMonitor.Exit();
    if (item == nullptr) {
        answer(GetMediaResponse::NotFound);
        return;
    }
    download.mClientId = clientId;
    download.mResourceId = resourceId;
    // Any resource number whose file exists may be fetched.
    download.mStream =
        new System::IO::FileStream(MVC::Model::MediaModel::GetResourcePath(
                                       model->Configuration.MediaPath, mediaId, resourceId),
                                   3);
    const bool readable = download.mStream->CanRead();

    // The client-collection monitor is held until the download is entered, so a client
    // that leaves has the download ended with its others instead of leaving it open for good.
    auto& clients = model->Clients;
    auto& downloads = model->Downloads;
    clients.mMonitor.Enter();
    const bool present = clients.mValue.FindClient(clientId) != nullptr;
    downloads.mMonitor.Enter();
    const bool running = downloads.Find(clientId, mediaId, resourceId) != nullptr;
    const bool accepted = present && readable && !running;
    if (accepted) {
        downloads.Add(download);
    } else {
        delete download.mStream;
    }
    downloads.mMonitor.Exit();
    clients.mMonitor.Exit();
    if (!present) {
        return;
    }
    if (!accepted) {
        answer(running && readable ? GetMediaResponse::AlreadyDownloading
                                   : GetMediaResponse::NotFound);
        return;
    }
    answer(GetMediaResponse::Accepted);
    PostAction::PostSendMediaChunk(clientId, mediaId, resourceId).Execute();
}

}  // namespace ZelvoRelay::Processor::Media
