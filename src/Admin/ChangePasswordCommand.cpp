#include "Admin/ChangePasswordCommand.h"

#include "Admin/AdminModel.h"
#include "Admin/ChangePasswordEvent.h"

using System::Uri;

void ChangePasswordCommand::Send(HttpEvent& event) {
    const auto& request = static_cast<ChangePasswordEvent&>(event);
    Client().SendPostRequest(
        SwitchboardUri("/UserChangePassword"),
        System::String("s=") +
            Uri::EscapeDataString(AdminModel::Instance()->mNetwork.SwitchboardSessionId.Get()) +
            "&p=" + Uri::EscapeDataString(request.mPassword),
        false);
}
