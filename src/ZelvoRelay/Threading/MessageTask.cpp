#include "ZelvoRelay/Threading/MessageTask.h"

#include "ZelvoRelay/Client/QueueShare.h"
#include "ZelvoRelay/Message/BaseMessage.h"
#include "ZelvoRelay/PostAction/IPostAction.h"
#include "ZelvoRelay/Threading/MessageTaskQueue.h"
#include "ZelvoRelay/Threading/ReceiveBacklog.h"

#include <utility>

namespace ZelvoRelay::Threading {

MessageTask::MessageTask(ZelvoRelay::Message::BaseMessage* message, uint32_t senderId)
    : Message(message), IsIncoming(true), TargetId(0), SenderId(senderId) {}

MessageTask::MessageTask(ZelvoRelay::Message::BaseMessage* message, uint32_t targetId,
                         uint32_t senderId)
    : Message(message), IsIncoming(false), TargetId(targetId), SenderId(senderId) {}

MessageTask::~MessageTask() {
    for (const Kept& kept : mKept) {
        kept.mShare->Unreserve(kept.mBytes);
    }
    if (mBacklog != nullptr) {
        mBacklog->Remove();
    }
}

void MessageTask::CountIn(std::shared_ptr<ReceiveBacklog> backlog) {
    backlog->Add();
    mBacklog = std::move(backlog);
}

uint32_t MessageTask::GetTurnOf() const {
    const bool fromClient = Message != nullptr && (IsIncoming || TargetId == 0);
    return fromClient ? SenderId : MessageTaskQueue::kServer;
}

bool MessageTask::IsSenderGone() const {
    return mBacklog != nullptr && mBacklog->AreAnswersEnded();
}

std::shared_ptr<Client::QueueShare> MessageTask::GetSenderShare() const {
    return mBacklog != nullptr ? mBacklog->GetShare() : nullptr;
}

void MessageTask::Discard() {
    delete Message;
    for (uint32_t i = 0; i < PostActions.Count(); ++i) {
        delete PostActions[i];
    }
    delete this;
}

}  // namespace ZelvoRelay::Threading
