#include "ZelvoRelay/Threading/MessageThreadWorker.h"

#include "ZelvoRelay/MVC/Events/RelayMessageEvent.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/BaseMessage.h"
#include "ZelvoRelay/Processor/IMessageProcessor.h"
#include "ZelvoRelay/Threading/MessageTask.h"

namespace ZelvoRelay::Threading {

// Tasks already queued when the worker starts are kept: the client worker starts
// first, and a message it received in between would otherwise go unanswered.
void MessageThreadWorker::Run() {
    auto& messages = MVC::Model::ZelvoRelayModel::Instance()->Messages;
    while (GetThreadState() != 0) {
        for (int i = 0; i < kBatchSize && GetThreadState() != 0; ++i) {
            MessageTask* task = messages.mTasks.Dequeue();
            if (task == nullptr) {
                break;
            }
            Handle(task);
        }
        Sleep(1);
    }
    messages.DiscardTasks();
}

void MessageThreadWorker::Handle(MessageTask* task) {
    if (MVC::Model::ZelvoRelayModel::Instance()->HeldUploaders.Take(task)) {
        return;
    }
    if (!task->IsIncoming) {
        MVC::Events::RelayMessageEvent event(task);
        event.Dispatch();
    } else {
        Processor::IMessageProcessor* processor =
            MVC::Model::ZelvoRelayModel::Instance()->Messages.GetProcessor(
                task->Message->GetMsgId());
        if (processor != nullptr) {
            processor->Process(task->Message, task->SenderId);
        }
    }
    delete task->Message;
    delete task;
}

}  // namespace ZelvoRelay::Threading
