#include <gtest/gtest.h>

#include <memory>

#include "ZelvoRelay/MVC/Model/RoomModel.h"
#include "ZelvoRelay/MVC/Model/UserModel.h"

namespace {

using System::String;
using ZelvoRelay::MVC::Model::RoomModel;
using ZelvoRelay::MVC::Model::UserAccountModel;
using ZelvoRelay::MVC::Model::UserModel;
using UserPrivilege = ZelvoRelay::MVC::Model::UserPrivilegeModel::UserPrivilege;
using AccessRight = ZelvoRelay::MVC::Model::UserPrivilegeModel::AccessRight;

// A copy's properties belong to the copy: an owner pointer left behind would raise the
// copy's notices on the original, which may be gone.
TEST(UserModelTest, ACopyOwnsItsPropertiesAndSharesTheAccountsRights) {
    RoomModel room;
    auto original = std::make_unique<UserModel>();
    original->Name = String("al");
    original->Privileges = &room.AdminAccount.Privileges;
    UserModel copy(*original);
    UserModel assigned;
    assigned = *original;
    original.reset();
    for (UserModel* user : {&copy, &assigned}) {
        EXPECT_EQ(user->ClientId.mOwner, user);
        EXPECT_EQ(user->Name.mOwner, user);
        EXPECT_EQ(user->Name.mValue, String("al"));
        EXPECT_EQ(user->Privileges, &room.AdminAccount.Privileges);
        user->Status = 2;
    }
}

TEST(UserModelTest, PasswordMatchesOnlyTheWholeDigestOfAnAccountWithPassword) {
    UserAccountModel account;
    EXPECT_FALSE(account.PasswordMatches(String()));
    account.PasswordHash = String("\x01\x02\x03", 3);
    EXPECT_TRUE(account.PasswordMatches(String("\x01\x02\x03", 3)));
    for (const String& wrong : {String("\x01\x02\x04", 3), String("\x01\x02", 2),
                                String("\x01\x02\x03\x00", 4), String()}) {
        EXPECT_FALSE(account.PasswordMatches(wrong)) << wrong.Length();
    }
}

TEST(UserModelTest, RoomFlagsDescribeTheNormalUserAccountOnly) {
    RoomModel room;
    EXPECT_EQ(room.GetRoomFlags(), 14);

    room.AdminAccount.PasswordHash = String("digest");
    room.ModeratorAccount.SetAccessRight(UserPrivilege::Chat, AccessRight::None);
    room.UserAccount.SetAccessRight(UserPrivilege::DeletePhotos, AccessRight::Write);
    EXPECT_EQ(room.GetRoomFlags(), 14);

    room.UserAccount.SetAccessRight(UserPrivilege::Voice, AccessRight::None);
    room.UserAccount.SetAccessRight(UserPrivilege::Photos, AccessRight::Read);
    EXPECT_EQ(room.GetRoomFlags(), 12);

    room.UserAccount.PasswordHash = String("digest");
    room.UserAccount.SetAccessRight(UserPrivilege::Chat, AccessRight::None);
    room.UserAccount.SetAccessRight(UserPrivilege::Photos, AccessRight::None);
    EXPECT_EQ(room.GetRoomFlags(), 1);
}

}  // namespace
