#include "ZelvoRelay/MVC/Commands/RemoveRelayClientCommand.h"

#include <vector>

#include "System/Threading/MonitorLock.h"
#include "System/Utility/FileSystem.h"
#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/Collections/AddressTable.h"
#include "ZelvoRelay/MVC/Events/RemoveRelayClientEvent.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/Registration/UserLeftMessage.h"
#include "ZelvoRelay/PostAction/PostSendMediaChunk.h"
#include "ZelvoRelay/Threading/MessageTask.h"

namespace ZelvoRelay::MVC::Commands {

namespace {

// A leaving client's uploads and downloads end with it, and its waiting downloads are
// dropped. Its uploads never become catalogue items, so their partial files are removed,
// each with a word of how far it came; left open, a download would keep its file and its
// transfer record for as long as the server runs.
void EndTransfers(Model::ZelvoRelayModel* model, Client::RelayClient& client) {
    const uint32_t clientId = client.GetClientId();
    System::Threading::MonitorLock lock(model->Uploads.mMonitor);
    const std::vector<Collections::MediaTransferCollection::Ended> ended =
        model->Uploads.RemoveClient(clientId);
    lock.Unlock();
    System::Utility::FileSystem files;
    for (const auto& [upload, received] : ended) {
        (void)files.RemoveFile(upload.GetResourcePath(upload.mResourceId));
        // Each client worker ends the uploads of its own clients, and one event raised on two
        // threads at once would tangle its raises: told under the uploads monitor.
        System::Threading::MonitorLock told(model->Uploads.mMonitor);
        // Until the upload completes, element 0 holds the announced size.
        model->Server.OnUploadLeft.Raise(
            client.GetUserModel().Name.mValue, clientId, uint32_t{upload.mMediaId}, received,
            uint64_t{static_cast<uint32_t>(upload.mMediaGroup.mContents[0].mFileSize)});
    }

    PostAction::PostSendMediaChunk::EndClient(clientId);
}

}  // namespace

void RemoveRelayClientCommand::Execute(System::MVC::EventDispatcher* event) {
    Client::RelayClient* client = static_cast<Events::RemoveRelayClientEvent*>(event)->mClient;
    const uint32_t clientId = client->GetClientId();
    Model::ZelvoRelayModel* model = Model::ZelvoRelayModel::Instance();

    auto* notice = new Message::Registration::UserLeftMessage(clientId);
    // Charged whoever is sent it: one party cycling connections pays for what its
    // coming and going may send the members.
    model->Addresses.ChargeNotice(client->GetTcpEndPoint().GetAddress(), *notice,
                                  Collections::AddressTable::Clock::now());
    System::Threading::MonitorLock lock(model->Clients.mMonitor);
    const bool joined = client->GetUserModel().IsRegistered.mValue;
    model->Clients.mValue.Remove(*client);
    const uint64_t admittedBy = model->Clients.mValue.NumAdmissions();
    if (!joined) {
        // Only the members admitted while it was open were told of it, so connections
        // that come and go between two admissions cost the members nothing (an outsider
        // cycling them sent every member more leave notices than a slow one could read).
        // Sent at once rather than in its turn: a connection that has not joined sends
        // nothing to the room that would have to go first.
        model->SendNowToRoom(notice, clientId, client->GetOpenedAt());
    }
    lock.Unlock();

    EndTransfers(model, *client);
    if (joined) {
        // In the member's turn, behind everything it sent, and only to the members admitted
        // by now: one admitted while it waits in the queue was never told of the leaver, and
        // would be sent the leave of an id it does not know.
        auto* task = new Threading::MessageTask(notice, 0, clientId);
        task->AdmittedBy = admittedBy;
        model->QueueTask(task);
    }
    delete client;
}

}  // namespace ZelvoRelay::MVC::Commands
