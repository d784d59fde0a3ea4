#pragma once

#include "System/MVC/EventDispatcher.h"

namespace ZelvoRelay::Threading {
class MessageTask;
}

namespace ZelvoRelay::MVC::Events {

// An outgoing task whose message is to be put in its recipients' send queues.
class RelayMessageEvent : public System::MVC::EventDispatcher {
  public:
    explicit RelayMessageEvent(Threading::MessageTask* task)
        : EventDispatcher("RelayMessageEvent"), mTask(task) {}

    // Not owned: the task and its message stay with the dispatcher; the command takes
    // over the task's post-send actions.
    Threading::MessageTask* mTask;
};

}  // namespace ZelvoRelay::MVC::Events
