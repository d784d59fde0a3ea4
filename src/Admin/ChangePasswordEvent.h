#pragma once

#include "Admin/HttpEvent.h"

// Asks the switchboard to change the password of the account logged in.
class ChangePasswordEvent : public HttpEvent {
  public:
    explicit ChangePasswordEvent(const System::String& password)
        : HttpEvent("ChangePasswordEvent"), mPassword(password) {}

    const System::String mPassword;  // the new password
};
