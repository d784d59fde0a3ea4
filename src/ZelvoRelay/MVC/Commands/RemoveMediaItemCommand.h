#pragma once

#include "System/MVC/ICommand.h"

namespace ZelvoRelay::MVC::Commands {

// Takes one item, or every item, out of the catalogue and removes its two files; a file
// that cannot be removed is passed over. Transfers already running keep their open files.
// Takes the catalogue monitor alone.
class RemoveMediaItemCommand : public System::MVC::ICommand {
  public:
    void Execute(System::MVC::EventDispatcher* event) override;
};

}  // namespace ZelvoRelay::MVC::Commands
