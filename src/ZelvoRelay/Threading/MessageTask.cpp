#include "ZelvoRelay/Threading/MessageTask.h"

#include "ZelvoRelay/Message/BaseMessage.h"
#include "ZelvoRelay/PostAction/IPostAction.h"

#include <utility>

namespace ZelvoRelay::Threading {

MessageTask::MessageTask(ZelvoRelay::Message::BaseMessage* message, uint32_t senderId)
    : Message(message), IsIncoming(true), TargetId(0), SenderId(senderId) {}

MessageTask::MessageTask(ZelvoRelay::Message::BaseMessage* message, uint32_t targetId,
                         uint32_t senderId)
    : Message(message), IsIncoming(false), TargetId(targetId), SenderId(senderId) {}

MessageTask::~MessageTask() {
    if (mPending != nullptr) {
        --*mPending;
    }
}

void MessageTask::CountIn(std::shared_ptr<std::atomic<uint32_t>> pending) {
    ++*pending;
    mPending = std::move(pending);
}

void MessageTask::DeleteContents() {
    delete Message;
    Message = nullptr;
    for (uint32_t i = 0; i < PostActions.Count(); ++i) {
        delete PostActions[i];
    }
    PostActions.Clear();
}

}  // namespace ZelvoRelay::Threading
