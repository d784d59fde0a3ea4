#include "ZelvoRelay/MVC/Commands/RelayMessageCommand.h"

#include <cstdint>

#include "System/IO/MemoryStream.h"
#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/MVC/Events/RelayMessageEvent.h"
#include "ZelvoRelay/MVC/Model/NetMessageModel.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/BaseMessage.h"
#include "ZelvoRelay/Threading/MessageTask.h"

namespace ZelvoRelay::MVC::Commands {

void RelayMessageCommand::Execute(System::MVC::EventDispatcher* event) {
    Threading::MessageTask* task = static_cast<Events::RelayMessageEvent*>(event)->mTask;
    Message::BaseMessage* message = task->Message;
    const auto size = static_cast<uint32_t>(message->GetMsgSize());

    auto* frame = new System::IO::MemoryStream(static_cast<int32_t>(size + 4));
    const unsigned char length[4] = {
        static_cast<unsigned char>(size), static_cast<unsigned char>(size >> 8),
        static_cast<unsigned char>(size >> 16), static_cast<unsigned char>(size >> 24)};
    frame->Write(length, 0, 4);
    frame->Write(reinterpret_cast<const unsigned char*>(message->GetMsg()), 0,
                 static_cast<int>(size));

    Model::NetMessageModel entry;
    entry.Frame = System::SmartPointer<System::IO::MemoryStream>(frame);
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
