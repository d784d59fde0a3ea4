#pragma once

#include "System/MVC/EventDispatcher.h"

// The main loop has ended and the program is closing.
class AppClosingEvent : public System::MVC::EventDispatcher {
  public:
    AppClosingEvent() : EventDispatcher("AppClosingEvent") {}
};
