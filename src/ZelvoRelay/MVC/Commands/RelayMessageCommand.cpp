#include "ZelvoRelay/MVC/Commands/RelayMessageCommand.h"

#include <cstdint>

#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/MVC/Events/RelayMessageEvent.h"
#include "ZelvoRelay/MVC/Model/NetMessageModel.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Threading/MessageTask.h"

namespace ZelvoRelay::MVC::Commands {

void RelayMessageCommand::Execute(System::MVC::EventDispatcher* event) {
    Threading::MessageTask* task = static_cast<Events::RelayMessageEvent*>(event)->mTask;
    Model::NetMessageModel entry(*task->Message);
    for (uint32_t i = 0; i < task->PostActions.Count(); ++i) {
        entry.PostActions.Add(System::SmartPointer<PostAction::IPostAction>(task->PostActions[i]));
    }
    task->PostActions.Clear();

    auto& clients = Model::ZelvoRelayModel::Instance()->Clients;
    clients.mMonitor.Enter();
    if (task->TargetId == 0) {
        for (uint32_t i = 0; i < clients.mValue.Count(); ++i) {
            Client::RelayClient& client = clients.mValue[i];
            if (client.GetUserModel().IsRegistered.mValue &&
                client.GetClientId() != task->SenderId) {
                client.Enqueue(entry);
            }
        }
    } else if (Client::RelayClient* client = clients.mValue.FindClient(task->TargetId)) {
        client->Enqueue(entry);
    }
    clients.mMonitor.Exit();
}

}  // namespace ZelvoRelay::MVC::Commands
