#pragma once

#include "Admin/HttpEvent.h"

// Asks the switchboard to help a user who has forgotten the password.
class UserForgotPasswordEvent : public HttpEvent {
  public:
    explicit UserForgotPasswordEvent(const System::String& user)
        : HttpEvent("UserForgotPasswordEvent"), mUser(user) {}

    const System::String mUser;
};
