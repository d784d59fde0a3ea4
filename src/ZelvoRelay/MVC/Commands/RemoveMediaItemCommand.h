#pragma once

#include "System/MVC/ICommand.h"

namespace ZelvoRelay::MVC::Commands {

// Takes one item, or every item, out of the catalogue. Its two files stay until a save of
// the catalogue no longer lists it (ZelvoRelayModel::DeleteRemovedFiles): deleted at once,
// a kill before that save would leave the stored catalogue listing an item whose every
// download is refused. Transfers already running keep their open files. Takes the catalogue
// monitor alone.
class RemoveMediaItemCommand : public System::MVC::ICommand {
  public:
    void Execute(System::MVC::EventDispatcher* event) override;
};

}  // namespace ZelvoRelay::MVC::Commands
