#pragma once

#include "Admin/AccountCommand.h"

// Registers a switchboard user with the four values of a UserRegisterEvent.
class UserRegisterCommand final : public AccountCommand {
  public:
    UserRegisterCommand() : AccountCommand("switchboard.register.success") {}
    ~UserRegisterCommand() override { Close(); }
    UserRegisterCommand(const UserRegisterCommand&) = delete;
    UserRegisterCommand& operator=(const UserRegisterCommand&) = delete;

  protected:
    void Send(HttpEvent& event) override;
};
