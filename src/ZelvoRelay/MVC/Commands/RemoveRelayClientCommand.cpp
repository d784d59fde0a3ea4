#include "ZelvoRelay/MVC/Commands/RemoveRelayClientCommand.h"

#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/MVC/Events/RemoveRelayClientEvent.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/Registration/UserLeftMessage.h"

namespace ZelvoRelay::MVC::Commands {

void RemoveRelayClientCommand::Execute(System::MVC::EventDispatcher* event) {
    Client::RelayClient* client = static_cast<Events::RemoveRelayClientEvent*>(event)->mClient;
    const uint32_t clientId = client->GetClientId();
    Model::ZelvoRelayModel* model = Model::ZelvoRelayModel::Instance();

    model->Clients.mMonitor.Enter();
    model->Clients.mValue.Remove(*client);
    model->Clients.mMonitor.Exit();

    model->QueueMessage(new Message::Registration::UserLeftMessage(clientId), 0, clientId);
    delete client;
}

}  // namespace ZelvoRelay::MVC::Commands
