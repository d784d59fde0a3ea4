#pragma once

#include <cstdint>

#include "System/Object.h"
#include "System/String.h"
#include "ZelvoRelay/MVC/Model/UserAccountModel.h"

namespace ZelvoRelay::MVC::Model {

// The one room the server hosts: its settings and its three accounts. Written at
// start-up before the relay server hosts, read without a lock afterwards.
class RoomModel : public System::Object {
  public:
    // No name or summary, no clients allowed, not public; each account enabled,
    // without password, with Write on every feature except DeletePhotos for users.
    RoomModel();

    // The room's flags for the directory, from the normal-user account only: 1 when
    // it needs a password, 2, 4 and 8 when its voice, chat and photos right is at
    // least Read.
    [[nodiscard]] uint8_t GetRoomFlags() const;

    System::String Name;     // shown to clients and the directory
    System::String Summary;  // shown to clients and the directory
    uint32_t MaxClients{0};  // connections allowed at once
    bool IsPublic{false};    // listed in the directory
    UserAccountModel AdminAccount;
    UserAccountModel ModeratorAccount;
    UserAccountModel UserAccount;
};

}  // namespace ZelvoRelay::MVC::Model
