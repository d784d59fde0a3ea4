#pragma once

#include "System/MVC/ICommand.h"

namespace ZelvoRelay::MVC::Commands {

// Ends an upload whose preview has been made and whose content elements describe both
// files: adds the item to the catalogue, closes the upload's stream and removes its
// transfer.
// REQUIRES: the caller holds the uploads monitor; the command takes the catalogue's
// inside it.
class NewMediaItemCommand : public System::MVC::ICommand {
  public:
    void Execute(System::MVC::EventDispatcher* event) override;
};

}  // namespace ZelvoRelay::MVC::Commands
