#pragma once

#include "System/MVC/ICommand.h"

namespace ZelvoRelay::MVC::Commands {

// Frames the message of an outgoing task once and appends it to the send queue of each
// recipient: every joined client except the sender for a room send (target 0),
// otherwise the one client addressed, joined or not. The post-send actions of the task
// go with the frame. Takes the client-collection monitor, then each send-queue monitor.
class RelayMessageCommand : public System::MVC::ICommand {
  public:
    void Execute(System::MVC::EventDispatcher* event) override;
};

}  // namespace ZelvoRelay::MVC::Commands
