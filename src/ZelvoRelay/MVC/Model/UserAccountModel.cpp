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

bool UserAccountModel::PasswordMatches(const System::String& digest) const {
    const uint32_t length = PasswordHash.Length();
    if (length == 0) {
        return false;
    }
    // Every byte is compared, with no early exit: a comparison that stopped at the
    // first difference would let a client learn the digest from response times.
    uint8_t difference = digest.Length() == length ? 0 : 1;
    for (uint32_t i = 0; i < length; ++i) {
        difference |= static_cast<uint8_t>(PasswordHash.At(i) ^ digest.At(i));
    }
    return difference == 0;
}

}  // namespace ZelvoRelay::MVC::Model
