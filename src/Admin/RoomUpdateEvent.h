#pragma once

#include "System/MVC/EventDispatcher.h"
#include "System/String.h"

#include <cstdint>

// Asks for the room's switchboard entry to be refreshed. Each field is sent only when
// it is set: a non-empty address, a port above 0, and the others when not negative
// (the flags taken as a signed byte, so flags of 128 and more are not sent).
class RoomUpdateEvent : public System::MVC::EventDispatcher {
  public:
    RoomUpdateEvent(const System::String& address, int port, int8_t flags, int isPublic,
                    int maxClients, int clientCount)
        : EventDispatcher("RoomUpdateEvent"),
          mAddress(address),
          mPort(port),
          mFlags(flags),
          mIsPublic(isPublic),
          mMaxClients(maxClients),
          mClientCount(clientCount) {}

    const System::String mAddress;  // the server's Internet address
    const int mPort;                // the relay port
    const int8_t mFlags;            // the room flags of RoomModel::GetRoomFlags
    const int mIsPublic;            // 1 when the room is listed, else 0
    const int mMaxClients;          // the most users the room takes
    const int mClientCount;         // the users connected now
};
