#include "ZelvoRelay/MVC/MVCInit.h"

#include "System/MVC/Controller.h"
#include "ZelvoRelay/MVC/Commands/NewMediaItemCommand.h"
#include "ZelvoRelay/MVC/Commands/NewRelayClientCommand.h"
#include "ZelvoRelay/MVC/Commands/RelayMessageCommand.h"
#include "ZelvoRelay/MVC/Commands/RemoveMediaItemCommand.h"
#include "ZelvoRelay/MVC/Commands/RemoveRelayClientCommand.h"
#include "ZelvoRelay/MVC/Commands/VoiceInitCommand.h"

namespace ZelvoRelay::MVC {

namespace {

// The names the relay registers, in registration order.
const char* const kEventNames[] = {"NewMediaItemEvent",      "NewRelayClientEvent",
                                   "RelayMessageEvent",      "RemoveMediaItemEvent",
                                   "RemoveRelayClientEvent", "VoiceInitEvent"};

}  // namespace

void MVCInit::Initialize() {
    using System::MVC::Controller;
    Controller::Set("NewMediaItemEvent", new Commands::NewMediaItemCommand());
    Controller::Set("NewRelayClientEvent", new Commands::NewRelayClientCommand());
    Controller::Set("RelayMessageEvent", new Commands::RelayMessageCommand());
    Controller::Set("RemoveMediaItemEvent", new Commands::RemoveMediaItemCommand());
    Controller::Set("RemoveRelayClientEvent", new Commands::RemoveRelayClientCommand());
    Controller::Set("VoiceInitEvent", new Commands::VoiceInitCommand());
}

void MVCInit::Deinitialize() {
    using System::MVC::Controller;
    for (const char* name : kEventNames) {
        delete Controller::GetAction(name);
    }
    for (const char* name : kEventNames) {
        Controller::Set(name, nullptr);
    }
}

}  // namespace ZelvoRelay::MVC
