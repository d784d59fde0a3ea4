#pragma once

#include <cstdint>

#include "System/String.h"
#include "ZelvoRelay/MVC/Model/RoomModel.h"
#include "ZelvoRelay/Message/BaseMessage.h"

namespace ZelvoRelay::Message::Registration {

// Type 110, server to client: the room, sent to a client that has just joined.
// Payload: the room's name (text), its summary (text), then the maximum number of
// clients (4 bytes).
class RoomInfoMessage : public BaseMessage {
  public:
    static constexpr uint8_t MsgId = 110;

    explicit RoomInfoMessage(const MessageBytes& bytes) : BaseMessage(bytes) {}
    // Reads the room's Name, Summary and MaxClients.
    RoomInfoMessage(uint32_t clientId, const MVC::Model::RoomModel& room);

    // The name; empty when it does not fit in the message.
    [[nodiscard]] System::String GetName() const;
    // The summary; empty when it or the name does not fit.
    [[nodiscard]] System::String GetSummary() const;
    // The low 16 bits of the maximum, as the clients read it; 0 when missing.
    [[nodiscard]] uint16_t GetMaxClients() const;
};

}  // namespace ZelvoRelay::Message::Registration
