#pragma once

#include "ZelvoRelay/Processor/IMessageProcessor.h"

namespace ZelvoRelay::Processor::Registration {

// Admits a client into the room, or refuses it, on its JoinRoomRequest. The password
// digest is compared with the admin, moderator and user accounts in that order; the
// account that matches gives the user its group and rights. An admitted client
// receives JoinRoomResponse 0, its rights, the room's description, the voice format
// and one UserJoinedMessage per other connection; the room learns of it. A refused
// client receives the refusal code and is then disconnected; a wrong password counts
// against its address (Collections::AddressTable), as the room's notice of an admitted
// one does against its address's budget.
class JoinRoomRequestProcessor : public IMessageProcessor {
  public:
    // The refusal codes of JoinRoomResponse (0 admits).
    enum Refusal : unsigned char {
        RoomFull = 1,
        EmptyName = 2,
        WrongPassword = 3,
        AccountDisabled = 4,
        AlreadyJoined = 5,
    };

    void Process(Message::BaseMessage* message, uint32_t clientId) override;
    // A join is handled at a stop too: it decides whether the upload sent right behind it
    // is stored, which would otherwise be refused as coming from a client not joined.
    [[nodiscard]] bool ChangesStore() const override { return true; }
};

}  // namespace ZelvoRelay::Processor::Registration
