#pragma once

#include "System/MVC/ICommand.h"

namespace ZelvoRelay::MVC::Commands {

// Queues the room's voice format (VoiceInitializationMessage) for one client, but only
// while the relay server is hosting. Takes the task-queue monitor only.
class VoiceInitCommand : public System::MVC::ICommand {
  public:
    void Execute(System::MVC::EventDispatcher* event) override;
};

}  // namespace ZelvoRelay::MVC::Commands
