#pragma once

#include <cstdint>

#include "System/Collections/Vector.h"
#include "System/IO/MemoryStream.h"
#include "System/Object.h"
#include "System/SmartPointer.h"
#include "ZelvoRelay/PostAction/IPostAction.h"

namespace ZelvoRelay::Message {
class BaseMessage;
}

namespace ZelvoRelay::MVC::Model {

// One entry of a client's send queue: a complete frame (4-byte little-endian length,
// then the message) and how much of it the socket has taken. Copies share the frame
// and the post-send actions, so a room send builds its frame once for every recipient.
// Equality is identity, so a queue finds only the very entry it holds.
class NetMessageModel : public System::Object {
  public:
    NetMessageModel() = default;
    // A new frame of message's bytes, nothing sent, no actions.
    explicit NetMessageModel(const Message::BaseMessage& message);
    NetMessageModel(const NetMessageModel&) = default;
    NetMessageModel(NetMessageModel&&) = default;
    NetMessageModel& operator=(const NetMessageModel&) = default;
    ~NetMessageModel() override = default;

    // Counts count copies of the frame at once, for ReservedCopy to make: a room relay
    // counts its recipients' copies in one step rather than one at a time, each of which
    // would contend for the frame's counter with the workers sending earlier copies.
    void ReserveCopies(uint32_t count) const { Frame.ReserveShares(static_cast<int32_t>(count)); }
    // A copy whose share of the frame is one that ReserveCopies counted.
    // REQUIRES: a copy reserved and not yet made.
    [[nodiscard]] NetMessageModel ReservedCopy() const;

    // Bytes of the frame already accepted by the socket.
    uint32_t SentBytes{0};
    // The frame, shared by every copy and deleted with the last one.
    System::SmartPointer<System::IO::MemoryStream> Frame;
    // Run once the whole frame has been sent, in this order.
    System::Collections::Vector<System::SmartPointer<PostAction::IPostAction>> PostActions;
};

}  // namespace ZelvoRelay::MVC::Model
