#include "ZelvoRelay/MVC/Model/RoomModel.h"

namespace ZelvoRelay::MVC::Model {

namespace {

using UserPrivilege = UserPrivilegeModel::UserPrivilege;
using AccessRight = UserPrivilegeModel::AccessRight;

// Gives account its four entries, one per feature in feature order, each with Write
// except DeletePhotos, which gets deletePhotos. Configuration changes their rights,
// never their number or order.
void AddPrivileges(UserAccountModel& account, AccessRight deletePhotos) {
    account.Privileges.Add(UserPrivilegeModel(UserPrivilege::Voice, AccessRight::Write));
    account.Privileges.Add(UserPrivilegeModel(UserPrivilege::Chat, AccessRight::Write));
    account.Privileges.Add(UserPrivilegeModel(UserPrivilege::Photos, AccessRight::Write));
    account.Privileges.Add(UserPrivilegeModel(UserPrivilege::DeletePhotos, deletePhotos));
}

}  // namespace

RoomModel::RoomModel() {
    AddPrivileges(AdminAccount, AccessRight::Write);
    AddPrivileges(ModeratorAccount, AccessRight::Write);
    AddPrivileges(UserAccount, AccessRight::None);
}

uint8_t RoomModel::GetRoomFlags() const {
    uint8_t flags = 0;
    if (UserAccount.PasswordHash.Length() > 0) {
        flags |= 1;
    }
    if (UserAccount.GetAccessRight(UserPrivilege::Voice) != AccessRight::None) {
        flags |= 2;
    }
    if (UserAccount.GetAccessRight(UserPrivilege::Chat) != AccessRight::None) {
        flags |= 4;
    }
    if (UserAccount.GetAccessRight(UserPrivilege::Photos) != AccessRight::None) {
        flags |= 8;
    }
    return flags;
}

}  // namespace ZelvoRelay::MVC::Model
