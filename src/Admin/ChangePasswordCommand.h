#pragma once

#include "Admin/AccountCommand.h"

// Changes the password of the account logged in (the session id says which) to that of a
// ChangePasswordEvent.
class ChangePasswordCommand final : public AccountCommand {
  public:
    ChangePasswordCommand() : AccountCommand("switchboard.change.password.success") {}
    ~ChangePasswordCommand() override { Close(); }
    ChangePasswordCommand(const ChangePasswordCommand&) = delete;
    ChangePasswordCommand& operator=(const ChangePasswordCommand&) = delete;

  protected:
    void Send(HttpEvent& event) override;
};
