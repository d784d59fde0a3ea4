#pragma once

#include "System/MVC/EventDispatcher.h"
#include "System/String.h"

// A room registration for an administration front end; this server has no command for it.
class RoomRegisterEvent : public System::MVC::EventDispatcher {
  public:
    RoomRegisterEvent(const System::String& first, const System::String& second,
                      const System::String& third)
        : EventDispatcher("RoomRegisterEvent"), mFirst(first), mSecond(second), mThird(third) {}

    const System::String mFirst;
    const System::String mSecond;
    const System::String mThird;
};
