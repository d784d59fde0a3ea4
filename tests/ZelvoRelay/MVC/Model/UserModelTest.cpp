#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "System/EventManager.h"
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

// Logs the property names a model announces, and which model announced them.
struct Observer {
    explicit Observer(UserModel& user) : user(&user) {
        events.Add(user.PropertyChanged, this, &Observer::OnPropertyChanged);
    }
    void OnPropertyChanged(void* sender, const String& name) {
        log.push_back((sender == user ? "" : "stranger ") + std::string(name.CStr()));
    }
    UserModel* user;
    std::vector<std::string> log;
    System::EventManager events;
};

TEST(UserModelTest, EveryPropertyAnnouncesItsNameAfterItsValueChanged) {
    UserModel user;
    EXPECT_EQ(user.Group.mValue, UserModel::UserGroup::User);
    Observer observer(user);
    user.ClientId = 4u;
    user.IsRegistered = true;
    user.Name = String("al");
    user.Status = 3;
    user.Group = UserModel::UserGroup::Admin;
    EXPECT_EQ(observer.log,
              (std::vector<std::string>{"ClientId", "IsRegistered", "Name", "Status", "Group"}));

    RoomModel room;
    user.Privileges = &room.AdminAccount.Privileges;
    UserModel copy(user);
    Observer copyObserver(copy);
    copy = user;
    EXPECT_EQ(copyObserver.log, observer.log);
    EXPECT_EQ(copy.Name.mValue, String("al"));
    EXPECT_EQ(copy.Privileges, user.Privileges);
    EXPECT_EQ(copy.ClientId.mOwner, &copy);
}

TEST(UserModelTest, RightsComeFromTheAccountThatAdmittedTheUser) {
    RoomModel room;
    UserModel user;
    EXPECT_FALSE(user.CanRead(UserPrivilege::Chat));
    EXPECT_FALSE(user.CanWrite(UserPrivilege::Chat));

    user.Privileges = &room.UserAccount.Privileges;
    EXPECT_TRUE(user.CanWrite(UserPrivilege::Voice));
    EXPECT_TRUE(user.CanWrite(UserPrivilege::Chat));
    EXPECT_TRUE(user.CanWrite(UserPrivilege::Photos));
    EXPECT_FALSE(user.CanRead(UserPrivilege::DeletePhotos));
    EXPECT_FALSE(user.CanWrite(static_cast<UserPrivilege>(7)));

    room.UserAccount.SetAccessRight(UserPrivilege::Chat, AccessRight::Read);
    EXPECT_TRUE(user.CanRead(UserPrivilege::Chat));
    EXPECT_FALSE(user.CanWrite(UserPrivilege::Chat));

    user.Privileges = &room.ModeratorAccount.Privileges;
    EXPECT_TRUE(user.CanWrite(UserPrivilege::DeletePhotos));
}

TEST(UserModelTest, AccountsKeepTheirFourRightsWhateverIsSet) {
    UserAccountModel account;
    EXPECT_EQ(account.GetAccessRight(UserPrivilege::Voice), AccessRight::None);
    account.SetAccessRight(UserPrivilege::Voice, AccessRight::Write);
    EXPECT_EQ(account.Privileges.Count(), 0u);

    RoomModel room;
    room.UserAccount.SetAccessRight(static_cast<UserPrivilege>(5), AccessRight::Write);
    room.UserAccount.SetAccessRight(static_cast<UserPrivilege>(0), AccessRight::Write);
    EXPECT_EQ(room.UserAccount.Privileges.Count(), 4u);
    EXPECT_EQ(room.UserAccount.GetAccessRight(static_cast<UserPrivilege>(5)), AccessRight::None);
    EXPECT_EQ(room.AdminAccount.GetAccessRight(UserPrivilege::DeletePhotos), AccessRight::Write);
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
