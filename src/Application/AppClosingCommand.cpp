#include "Application/AppClosingCommand.h"

#include "Application/SaveUserDataEvent.h"

void AppClosingCommand::Execute(System::MVC::EventDispatcher*) {
    SaveUserDataEvent().Dispatch();
}
