#include "ZelvoRelay/Processor/RoomRelay.h"

#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

namespace ZelvoRelay::Processor {

void RelayWithRight(Message::BaseMessage* message, uint32_t clientId,
                    MVC::Model::UserPrivilegeModel::UserPrivilege privilege) {
    MVC::Model::ZelvoRelayModel* model = MVC::Model::ZelvoRelayModel::Instance();
    auto& clients = model->Clients;
    clients.mMonitor.Enter();
    Client::RelayClient* sender = clients.mValue.FindClient(clientId);
    const bool allowed = sender != nullptr && sender->GetUserModel().CanWrite(privilege);
    clients.mMonitor.Exit();
    if (!allowed) {
        return;
    }
    message->SetClientId(clientId);
    model->RelayToRoom(message, clientId);
}

}  // namespace ZelvoRelay::Processor
