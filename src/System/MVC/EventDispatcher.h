#pragma once

#include "System/Object.h"
#include "System/String.h"

namespace System::MVC {

// Base of every command event: names what happened; subclasses add the payload.
class EventDispatcher : public Object {
  public:
    explicit EventDispatcher(const String& name) : mName(name) {}

    // Runs the command registered under mName on this thread and returns when it
    // has finished; a name without a command is dropped silently.
    virtual void Dispatch();

    const String mName;  // the key of the event's command
};

}  // namespace System::MVC
