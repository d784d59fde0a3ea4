#include "ZelvoRelay/MVC/Model/UserAccountModel.h"

namespace ZelvoRelay::MVC::Model {

void UserAccountModel::SetAccessRight(UserPrivilege privilege, AccessRight right) {
    for (uint32_t i = 0; i < Privileges.Count(); ++i) {
        if (Privileges[i].Privilege == privilege) {
            Privileges[i].Right = right;
            return;
        }
    }
}

}  // namespace ZelvoRelay::MVC::Model
