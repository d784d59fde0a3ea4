#pragma once

#include "System/MVC/EventDispatcher.h"

// Asks for the switchboard session to be ended.
class LogoutEvent : public System::MVC::EventDispatcher {
  public:
    LogoutEvent() : EventDispatcher("LogoutEvent") {}
};
