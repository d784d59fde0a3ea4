#include "ZelvoRelay/Processor/Registration/UserChange.h"

#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/Common/ErrorMessage.h"

namespace ZelvoRelay::Processor::Registration {

namespace {

// The error id telling a client that it has not joined the room.
constexpr unsigned char kNotJoined = 1;

}  // namespace

void ProcessUserChange(Message::BaseMessage* message, uint32_t clientId, UserChange change) {
    MVC::Model::ZelvoRelayModel* model = MVC::Model::ZelvoRelayModel::Instance();
    auto& clients = model->Clients;
    clients.mMonitor.Enter();
    Client::RelayClient* sender = clients.mValue.FindClient(clientId);
    if (sender == nullptr) {
        clients.mMonitor.Exit();
        return;
    }
    if (!sender->GetUserModel().IsRegistered.mValue) {
        clients.mMonitor.Exit();
        model->QueueMessage(new Message::Common::ErrorMessage(0, kNotJoined), clientId, 0);
        return;
    }
    change(sender->GetUserModel(), message);
    clients.mMonitor.Exit();
    // The header carries the sender's own id, as chat and voice do: relayed as written,
    // a client could make the room believe that another user renamed itself.
    message->SetClientId(clientId);
    model->RelayToRoom(message, clientId);
}

}  // namespace ZelvoRelay::Processor::Registration
