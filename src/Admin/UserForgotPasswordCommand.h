#pragma once

#include "Admin/AccountCommand.h"

// Tells the switchboard that the user of a UserForgotPasswordEvent has forgotten the
// password.
class UserForgotPasswordCommand final : public AccountCommand {
  public:
    UserForgotPasswordCommand() : AccountCommand("switchboard.forgot.password.success") {}
    ~UserForgotPasswordCommand() override { Close(); }
    UserForgotPasswordCommand(const UserForgotPasswordCommand&) = delete;
    UserForgotPasswordCommand& operator=(const UserForgotPasswordCommand&) = delete;

  protected:
    void Send(HttpEvent& event) override;
};
