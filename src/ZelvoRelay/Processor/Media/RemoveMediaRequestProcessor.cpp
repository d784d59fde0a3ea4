#include "ZelvoRelay/Processor/Media/RemoveMediaRequestProcessor.h"

#include <cstdint>

#include "System/Threading/MonitorLock.h"
#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/MVC/Events/RemoveMediaItemEvent.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/Media/RemoveMediaRequest.h"
#include "ZelvoRelay/Message/Media/RemoveMediaResponse.h"
#include "ZelvoRelay/PostAction/PostSendMediaChunk.h"

namespace ZelvoRelay::Processor::Media {

void RemoveMediaRequestProcessor::Process(Message::BaseMessage* message, uint32_t clientId) {
    using Message::Media::RemoveMediaResponse;
    const uint32_t mediaId =
        static_cast<Message::Media::RemoveMediaRequest*>(message)->GetMediaId();
    MVC::Model::ZelvoRelayModel* model = MVC::Model::ZelvoRelayModel::Instance();

    auto& clients = model->Clients;
    System::Threading::MonitorLock clientsLock(clients.mMonitor);
    Client::RelayClient* sender = clients.mValue.FindClient(clientId);
    const bool allowed =
        sender != nullptr && sender->GetUserModel().CanWrite(
                                 MVC::Model::UserPrivilegeModel::UserPrivilege::DeletePhotos);
    clientsLock.Unlock();
    // A sender that has already left cannot be checked: letting it through would let a
    // client without the right remove photos by closing its connection right after asking.
    if (sender == nullptr) {
        return;
    }
    if (!allowed) {
        model->QueueMessage(
            new RemoveMediaResponse(clientId, RemoveMediaResponse::NotAllowed, mediaId), clientId,
            0);
        return;
    }

    System::Threading::MonitorLock catalogueLock(model->Media.mMonitor);
    const bool existed = model->Media.FindMedia(mediaId) != nullptr;
    catalogueLock.Unlock();
    // A running download goes on to its end once its item is removed; its file, opened for
    // each chunk, is deleted by the next save.
    PostAction::PostSendMediaChunk::HoldRemoved(mediaId);
    MVC::Events::RemoveMediaItemEvent remove(mediaId);
    remove.Dispatch();
    model->QueueMessage(
        new RemoveMediaResponse(
            clientId, existed ? RemoveMediaResponse::Removed : RemoveMediaResponse::NotFound,
            mediaId),
        clientId, 0);
}

}  // namespace ZelvoRelay::Processor::Media
