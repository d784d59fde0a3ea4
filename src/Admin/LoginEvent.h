#pragma once

#include "System/MVC/EventDispatcher.h"
#include "System/String.h"

// Asks for a switchboard login with this user name and (plain) password.
class LoginEvent : public System::MVC::EventDispatcher {
  public:
    LoginEvent(const System::String& user, const System::String& password)
        : EventDispatcher("LoginEvent"), mUser(user), mPassword(password) {}

    const System::String mUser;
    const System::String mPassword;
};
