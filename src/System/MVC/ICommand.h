#pragma once

#include "System/Object.h"

namespace System::MVC {

class EventDispatcher;

// What to do about one named event. One command object serves every dispatch of
// its name, from any thread; it guards whatever shared data it touches.
class ICommand : public Object {
  public:
    // Runs the command for event, the object whose Dispatch is running; the command
    // reads the payload by treating it as the event class its name stands for.
    virtual void Execute(EventDispatcher* event) = 0;
};

}  // namespace System::MVC
