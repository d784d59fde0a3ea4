#include "ZelvoRelay/PostAction/PostRemoveClient.h"

#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

namespace ZelvoRelay::PostAction {

void PostRemoveClient::Execute() {
    auto& clients = MVC::Model::ZelvoRelayModel::Instance()->Clients;
    clients.mMonitor.Enter();
    Client::RelayClient* client = clients.mValue.FindClient(mClientId);
    if (client != nullptr) {
        client->Disconnect();
    }
    clients.mMonitor.Exit();
}

}  // namespace ZelvoRelay::PostAction
