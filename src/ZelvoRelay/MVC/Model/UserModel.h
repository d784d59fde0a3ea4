#pragma once

#include <cstdint>

#include "System/Collections/Vector.h"
#include "System/ComponentModel/INotifyPropertyChanged.h"
#include "System/ComponentModel/ModelProperty.h"
#include "System/String.h"
#include "ZelvoRelay/MVC/Model/UserPrivilegeModel.h"

namespace ZelvoRelay::MVC::Model {

// The user behind one connected client: its id, whether it has joined the room, its
// name, status and group, and the rights of the account that admitted it. Every
// assignment of a property raises the property's Changed, then PropertyChanged with
// (this model, the property's name).
// REQUIRES: the relay writes it only under the client-collection monitor.
class UserModel : public System::ComponentModel::INotifyPropertyChanged {
  public:
    using UserPrivilege = UserPrivilegeModel::UserPrivilege;

    // The group of the account that admitted the user.
    enum class UserGroup : uint32_t {
        Admin = 0,
        Moderator = 1,
        User = 2,  // also the group of every user before joining
    };

    // A value of the clients' own choosing; the server stores and relays it.
    using UserStatus = uint8_t;

    // Id 0, not joined, no name, status 0, group User, no rights.
    UserModel();
    // Member-wise: each property takes the other's name and value, announcing it,
    // and the rights are the same account's.
    UserModel(const UserModel& other);
    UserModel& operator=(const UserModel& other);

    // True when the user's right for privilege is at least Read; false before joining.
    [[nodiscard]] bool CanRead(UserPrivilege privilege) const;
    // True when the user's right for privilege is Write; false before joining.
    [[nodiscard]] bool CanWrite(UserPrivilege privilege) const;

    System::ComponentModel::ModelProperty<uint32_t> ClientId{"ClientId", this};
    System::ComponentModel::ModelProperty<bool> IsRegistered{"IsRegistered", this};
    System::ComponentModel::ModelProperty<System::String> Name{"Name", this};
    System::ComponentModel::ModelProperty<UserStatus> Status{"Status", this};
    System::ComponentModel::ModelProperty<UserGroup> Group{"Group", this};
    // The rights of the account that admitted the user; null until it joins. The
    // accounts' lists never change size, so the pointer stays valid. Not owned.
    const System::Collections::Vector<UserPrivilegeModel>* Privileges{nullptr};

  private:
    // The right for privilege as a signed number; 0 before joining or without entry.
    int32_t RightOf(UserPrivilege privilege) const;
};

}  // namespace ZelvoRelay::MVC::Model
