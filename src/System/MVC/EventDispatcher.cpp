#include "System/MVC/EventDispatcher.h"

#include "System/MVC/Controller.h"
#include "System/MVC/ICommand.h"

namespace System::MVC {

void EventDispatcher::Dispatch() {
    if (ICommand* command = Controller::GetAction(mName)) {
        command->Execute(this);
    }
}

}  // namespace System::MVC
