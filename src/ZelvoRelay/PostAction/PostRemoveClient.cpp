#include "ZelvoRelay/PostAction/PostRemoveClient.h"

#include "System/Threading/MonitorLock.h"
#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

namespace ZelvoRelay::PostAction {

void PostRemoveClient::Execute() {
    auto& clients = MVC::Model::ZelvoRelayModel::Instance()->Clients;
    System::Threading::MonitorLock lock(clients.mMonitor);
    Client::RelayClient* client = clients.mValue.FindClient(mClientId);
    if (client != nullptr) {
        client->Disconnect();
    }
}

}  // namespace ZelvoRelay::PostAction
