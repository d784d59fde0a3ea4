#pragma once

#include "System/MVC/ICommand.h"

namespace ZelvoRelay::MVC::Commands {

// Removes a closed client from the collection, tells the members that it left (when it
// never joined, only those told of it) and deletes it. Runs on the client worker, which
// holds its list.
class RemoveRelayClientCommand : public System::MVC::ICommand {
  public:
    void Execute(System::MVC::EventDispatcher* event) override;
};

}  // namespace ZelvoRelay::MVC::Commands
