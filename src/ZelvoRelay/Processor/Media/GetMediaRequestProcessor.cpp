#include "ZelvoRelay/Processor/Media/GetMediaRequestProcessor.h"

#include <cstdint>

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

    MVC::Model::MediaTransferModel download;
    const bool readable =
        PostAction::PostSendMediaChunk::Open(clientId, mediaId, resourceId, download);

    // The client-collection monitor is held until the download is entered, so a client
    // that leaves has the download ended with its others instead of leaving it open for good.
    auto& clients = model->Clients;
    auto& downloads = model->Downloads;
    clients.mMonitor.Enter();
    const bool present = clients.mValue.FindClient(clientId) != nullptr;
    downloads.mMonitor.Enter();
    const bool running = downloads.Find(clientId, mediaId, resourceId) != nullptr ||
                         model->WaitingDownloads.Contains(clientId, mediaId, resourceId);
    const bool accepted = present && readable && !running;
    // Each running download holds its file open: without a bound, one member asking for
    // every photo could take every descriptor the process may have. The downloads beyond
    // it are accepted all the same (a gallery asks for every preview at once) and wait,
    // holding no file, until earlier ones end.
    const bool starts = accepted && downloads.CountClient(clientId) < kMaxDownloadsPerClient;
    if (accepted) {
        // Answered now, in the order of the client's requests, and before a waiting
        // download can start on another thread, so no chunk comes ahead of its answer.
        answer(GetMediaResponse::Accepted);
    }
    if (starts) {
        downloads.Add(download);
    } else {
        delete download.mStream;
        if (accepted) {
            model->WaitingDownloads.Add(clientId, mediaId, resourceId);
        }
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
    if (starts) {
        PostAction::PostSendMediaChunk(clientId, mediaId, resourceId).Execute();
    }
}

}  // namespace ZelvoRelay::Processor::Media
