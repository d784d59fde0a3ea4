#pragma once

#include "System/MVC/ICommand.h"

// Closing saves: dispatches SaveUserDataEvent on the closing thread.
class AppClosingCommand : public System::MVC::ICommand {
  public:
    void Execute(System::MVC::EventDispatcher* event) override;
};
