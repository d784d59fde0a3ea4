#pragma once

#include "System/MVC/ICommand.h"

namespace ZelvoRelay::MVC::Commands {

// Ends a complete upload: decodes the photo (PNG or JPEG), writes its preview at the
// configured size in the same format and adds the item to the catalogue. An upload that
// yields no item has its file removed. Either way the upload's stream is closed and its
// transfer removed.
// REQUIRES: the caller holds the uploads monitor; the command takes the catalogue's
// inside it.
class NewMediaItemCommand : public System::MVC::ICommand {
  public:
    void Execute(System::MVC::EventDispatcher* event) override;
};

}  // namespace ZelvoRelay::MVC::Commands
