#include "ZelvoRelay/Message/Registration/RoomInfoMessage.h"

#include "ZelvoRelay/Message/MessageReader.h"
#include "ZelvoRelay/Message/MessageWriter.h"

namespace ZelvoRelay::Message::Registration {

RoomInfoMessage::RoomInfoMessage(uint32_t clientId, const MVC::Model::RoomModel& room)
    : BaseMessage(MessageWriter::TextSize(room.Name) + MessageWriter::TextSize(room.Summary) + 4,
                  MsgId, clientId) {
    MessageWriter writer(*this);
    writer.Text(room.Name);
    writer.Text(room.Summary);
    writer.U32(room.MaxClients);
}

System::String RoomInfoMessage::GetName() const {
    return MessageReader(*this).Text();
}

System::String RoomInfoMessage::GetSummary() const {
    MessageReader reader(*this);
    reader.SkipText();
    return reader.Text();
}

uint16_t RoomInfoMessage::GetMaxClients() const {
    MessageReader reader(*this);
    reader.SkipText();
    reader.SkipText();
    return static_cast<uint16_t>(reader.U32());
}

}  // namespace ZelvoRelay::Message::Registration
