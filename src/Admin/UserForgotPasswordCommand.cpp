#include "Admin/UserForgotPasswordCommand.h"

#include "Admin/UserForgotPasswordEvent.h"

using System::Uri;

void UserForgotPasswordCommand::Send(HttpEvent& event) {
    const auto& request = static_cast<UserForgotPasswordEvent&>(event);
    Client().SendGetRequest(SwitchboardUri(System::String("/UserForgotPassword?n=") +
                                           Uri::EscapeDataString(request.mUser)));
}
