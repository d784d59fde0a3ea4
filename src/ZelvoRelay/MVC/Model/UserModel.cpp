#include "ZelvoRelay/MVC/Model/UserModel.h"

namespace ZelvoRelay::MVC::Model {

UserModel::UserModel() {
    Group.mValue = UserGroup::User;
}

UserModel::UserModel(const UserModel& other) : INotifyPropertyChanged(other) {
    *this = other;
}

UserModel& UserModel::operator=(const UserModel& other) {
    if (this == &other) {
        return *this;
    }
    ClientId = other.ClientId;
    IsRegistered = other.IsRegistered;
    Name = other.Name;
    Status = other.Status;
    Group = other.Group;
    Privileges = other.Privileges;
    return *this;
}

bool UserModel::CanRead(UserPrivilege privilege) const {
    return RightOf(privilege) >= static_cast<int32_t>(UserPrivilegeModel::AccessRight::Read);
}

bool UserModel::CanWrite(UserPrivilege privilege) const {
    return RightOf(privilege) >= static_cast<int32_t>(UserPrivilegeModel::AccessRight::Write);
}

int32_t UserModel::RightOf(UserPrivilege privilege) const {
    if (Privileges == nullptr) {
        return 0;
    }
    return static_cast<int32_t>(UserPrivilegeModel::FindAccessRight(*Privileges, privilege));
}

}  // namespace ZelvoRelay::MVC::Model
