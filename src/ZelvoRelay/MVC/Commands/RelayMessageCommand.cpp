#include "ZelvoRelay/MVC/Commands/RelayMessageCommand.h"

#include <cstdint>

#include "System/Threading/MonitorLock.h"
#include "System/Utility/FailPoint.h"
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

    Model::ZelvoRelayModel* model = Model::ZelvoRelayModel::Instance();
    System::Threading::MonitorLock lock(model->Clients.mMonitor);
    System::Utility::FailPoint::Check("relay-message");
    if (task->TargetId == 0) {
        model->HoldForRoom(entry, task->SenderId, task->AdmittedBy);
    } else {
        model->Distribute(entry, task->TargetId, task->SenderId, 0, task->AdmittedBy);
    }
}

}  // namespace ZelvoRelay::MVC::Commands
