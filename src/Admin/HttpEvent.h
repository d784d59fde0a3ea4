#pragma once

#include "System/Event.h"
#include "System/MVC/EventDispatcher.h"
#include "System/String.h"

// An account request to the switchboard that reports its outcome: OnComplete fires once
// per dispatch, on the request's connection thread (or on the dispatching thread when the
// request cannot be made), with the event, whether it succeeded and the message text.
// The event must stay alive until then.
class HttpEvent : public System::MVC::EventDispatcher {
  public:
    explicit HttpEvent(const System::String& name) : EventDispatcher(name) {}

    System::Event<void*, bool, const System::String&> OnComplete;
};
