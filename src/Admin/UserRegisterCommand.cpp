#include "Admin/UserRegisterCommand.h"

#include "Admin/UserRegisterEvent.h"

using System::Uri;

void UserRegisterCommand::Send(HttpEvent& event) {
    const auto& request = static_cast<UserRegisterEvent&>(event);
    Client().SendPostRequest(SwitchboardUri("/UserRegister"),
                             System::String("n=") + Uri::EscapeDataString(request.mUser) +
                                 "&p=" + Uri::EscapeDataString(request.mPassword) +
                                 "&e=" + Uri::EscapeDataString(request.mEmail) +
                                 "&r=" + Uri::EscapeDataString(request.mFieldR),
                             false);
}
