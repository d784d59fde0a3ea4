#pragma once

#include "System/MVC/EventDispatcher.h"

// Asks for the program's state to be saved.
class SaveUserDataEvent : public System::MVC::EventDispatcher {
  public:
    SaveUserDataEvent() : EventDispatcher("SaveUserDataEvent") {}
};
