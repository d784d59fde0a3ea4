#include "ZelvoRelay/MVC/Model/UserPrivilegeModel.h"

namespace ZelvoRelay::MVC::Model {

UserPrivilegeModel::AccessRight UserPrivilegeModel::FindAccessRight(
    const System::Collections::Vector<UserPrivilegeModel>& privileges, UserPrivilege privilege) {
    for (uint32_t i = 0; i < privileges.Count(); ++i) {
        if (privileges[i].Privilege == privilege) {
            return privileges[i].Right;
        }
    }
    return AccessRight::None;
}

}  // namespace ZelvoRelay::MVC::Model
