#pragma once

#include <cstdint>

#include "System/Collections/Vector.h"
#include "System/Object.h"

namespace ZelvoRelay::MVC::Model {

// One right of an account: how far its users may use one feature of the room.
class UserPrivilegeModel : public System::Object {
  public:
    // The features of the room that rights are given for.
    enum class UserPrivilege : uint32_t {
        Voice = 1,         // Write: may send voice data
        Chat = 2,          // Write: may send chat
        Photos = 3,        // Read: may view photos; Write: may post photos
        DeletePhotos = 4,  // Write: may delete photos
    };

    // How far a feature may be used; each right includes the ones below it.
    enum class AccessRight : uint32_t {
        None = 0,
        Read = 1,
        Write = 2,
    };

    UserPrivilegeModel() = default;
    UserPrivilegeModel(UserPrivilege privilege, AccessRight right)
        : Privilege(privilege), Right(right) {}

    // The right of the first entry of privileges (from index 0) for privilege; None
    // when no entry names it.
    [[nodiscard]] static AccessRight FindAccessRight(
        const System::Collections::Vector<UserPrivilegeModel>& privileges, UserPrivilege privilege);

    UserPrivilege Privilege{0};  // the feature
    AccessRight Right{0};        // the right given for it
};

}  // namespace ZelvoRelay::MVC::Model
