#include "ZelvoRelay/Processor/RoomRelay.h"

#include "System/Threading/MonitorLock.h"
#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

namespace ZelvoRelay::Processor {

void RelayWithRight(Message::BaseMessage* message, uint32_t clientId,
                    MVC::Model::UserPrivilegeModel::UserPrivilege privilege) {
    MVC::Model::ZelvoRelayModel* model = MVC::Model::ZelvoRelayModel::Instance();
    auto& clients = model->Clients;
    System::Threading::MonitorLock lock(clients.mMonitor);
    Client::RelayClient* sender = clients.mValue.FindClient(clientId);
    const bool allowed = sender != nullptr && sender->GetUserModel().CanWrite(privilege);
    lock.Unlock();
    if (!allowed) {
        return;
    }
    message->SetClientId(clientId);
    model->RelayToRoom(message, clientId);
}

}  // namespace ZelvoRelay::Processor
