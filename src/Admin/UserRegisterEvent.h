#pragma once

#include "Admin/HttpEvent.h"

// Asks the switchboard to register a user.
class UserRegisterEvent : public HttpEvent {
  public:
    UserRegisterEvent(const System::String& user, const System::String& password,
                      const System::String& email, const System::String& fieldR)
        : HttpEvent("UserRegisterEvent"),
          mUser(user),
          mPassword(password),
          mEmail(email),
          mFieldR(fieldR) {}

    // Sent as the form fields n, p, e and r, in this order.
    const System::String mUser;
    const System::String mPassword;
    const System::String mEmail;
    const System::String mFieldR;
};
