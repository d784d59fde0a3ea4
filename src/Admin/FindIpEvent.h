#pragma once

#include "System/MVC/EventDispatcher.h"

// Asks the configured address-discovery page for the server's Internet address.
class FindIpEvent : public System::MVC::EventDispatcher {
  public:
    FindIpEvent() : EventDispatcher("FindIpEvent") {}
};
