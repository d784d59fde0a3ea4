#pragma once

#include "System/Collections/Vector.h"
#include "System/Object.h"
#include "System/String.h"
#include "ZelvoRelay/MVC/Model/UserPrivilegeModel.h"

namespace ZelvoRelay::MVC::Model {

// One of the room's accounts: the password that admits a user through it and the
// rights its users get. Written at start-up only; no lock of its own.
class UserAccountModel : public System::Object {
  public:
    using UserPrivilege = UserPrivilegeModel::UserPrivilege;
    using AccessRight = UserPrivilegeModel::AccessRight;

    // Enabled, without password or rights.
    UserAccountModel() = default;

    // The right of the first entry for privilege; None when there is none.
    [[nodiscard]] AccessRight GetAccessRight(UserPrivilege privilege) const {
        return UserPrivilegeModel::FindAccessRight(Privileges, privilege);
    }
    // Sets the right of the first entry for privilege; adds no entry when there is none.
    void SetAccessRight(UserPrivilege privilege, AccessRight right);
    // True when the account has a password and digest equals its PasswordHash. The
    // time taken does not depend on the bytes compared.
    [[nodiscard]] bool PasswordMatches(const System::String& digest) const;

    bool IsEnabled{true};  // a matching password admits a user only while set
    // The 32 raw bytes of the SHA-256 digest of the password; empty without password.
    System::String PasswordHash;
    System::String Password;  // the password as configured
    // The account's rights in order; the room gives each account its four entries.
    System::Collections::Vector<UserPrivilegeModel> Privileges;
};

}  // namespace ZelvoRelay::MVC::Model
