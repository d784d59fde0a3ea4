#include "ZelvoRelay/Processor/Registration/UserChange.h"

#include "System/Threading/MonitorLock.h"
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
    System::Threading::MonitorLock lock(clients.mMonitor);
    Client::RelayClient* sender = clients.mValue.FindClient(clientId);
    if (sender == nullptr) {
        return;
    }
    if (!sender->GetUserModel().IsRegistered.mValue) {
        lock.Unlock();
        model->QueueMessage(new Message::Common::ErrorMessage(0, kNotJoined), clientId, 0);
        return;
    }
    change(sender->GetUserModel(), message);
    lock.Unlock();
    // The header carries the sender's own id, as chat and voice do: relayed as written,
    // a client could make the room believe that another user renamed itself.
    message->SetClientId(clientId);
    model->RelayToRoom(message, clientId);
}

}  // namespace ZelvoRelay::Processor::Registration
