#include "ZelvoRelay/Processor/Media/GetMediaRequestProcessor.h"

#include <cstdint>

#include "System/Threading/MonitorLock.h"
#include "System/Utility/FailPoint.h"
#include "ZelvoRelay/Client/RelayClient.h"
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

    // Looked at, not opened: a download that is to wait holds no file until its turn.
    const bool available = PostAction::PostSendMediaChunk::CanBeSent(mediaId, resourceId);

    // The client-collection monitor is held until the download is entered, so a client
    // that leaves has the download ended with its others instead of leaving it open for good.
    auto& clients = model->Clients;
    auto& downloads = model->Downloads;
    System::Threading::MonitorLock clientsLock(clients.mMonitor);
    Client::RelayClient* client = clients.mValue.FindClient(clientId);
    const bool present = client != nullptr;
    System::Threading::MonitorLock downloadsLock(downloads.mMonitor);
    // A download whose place is claimed but whose file is not open yet counts as running.
    const bool running = downloads.Find(clientId, mediaId, resourceId) != nullptr ||
                         model->WaitingDownloads.Contains(clientId, mediaId, resourceId);
    const bool accepted = present && available && !running;
    // Each running download holds its file open: without a bound, one member asking for
    // every photo could take every descriptor the process may have. The downloads beyond
    // it are accepted all the same (a gallery asks for every preview at once) and wait,
    // holding no file, until earlier ones end. Where the open file limit leaves too few
    // descriptors for 16 each, the bound is each member's share of them: members' files
    // filled the table, newcomers were closed before their join and listed photos were
    // answered as not found.
    // Those of connections that have not joined are bounded tighter still: however many such
    // connections one party opens and however little they read, they hold one member's share
    // between them.
    bool starts = false;
    if (accepted && client->GetUserModel().IsRegistered.mValue) {
        starts = downloads.CountClient(clientId) < model->Configuration.MaxDownloadsPerMember;
    } else if (accepted) {
        starts = model->UnjoinedDownloads.Claim(clientId, client->GetTcpEndPoint().GetAddress());
    }
    if (starts) {
        // Claimed now, opened once the monitors are left (PostSendMediaChunk::Start).
        System::Utility::FailPoint::Check("download-claim");
        downloads.Add(MVC::Model::MediaTransferModel(clientId, mediaId, resourceId));
    } else if (accepted) {
        // Answered now, in the order of the client's requests, and before the download can
        // start on another thread, so no chunk comes ahead of its answer.
        answer(GetMediaResponse::Accepted);
        model->WaitingDownloads.Add(clientId, mediaId, resourceId);
    }
    downloadsLock.Unlock();
    clientsLock.Unlock();
    if (starts) {
        PostAction::PostSendMediaChunk::Start(clientId, mediaId, resourceId, true);
    } else if (present && !accepted) {
        // A running download goes on to its end even once its item is removed (its files
        // stay until the next save); answered NotFound, its client would drop a transfer
        // whose chunks still come.
        answer(running ? GetMediaResponse::AlreadyDownloading : GetMediaResponse::NotFound);
    }
}

}  // namespace ZelvoRelay::Processor::Media
