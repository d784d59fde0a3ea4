#pragma once

#include "System/MVC/ICommand.h"

namespace ZelvoRelay::MVC::Commands {

// Puts the room's voice format (VoiceInitializationMessage) into one client's send
// queue, but only while the relay server is hosting. REQUIRES: the client-collection
// monitor held (a join holds it); takes the client's send-queue monitor.
class VoiceInitCommand : public System::MVC::ICommand {
  public:
    void Execute(System::MVC::EventDispatcher* event) override;
};

}  // namespace ZelvoRelay::MVC::Commands
