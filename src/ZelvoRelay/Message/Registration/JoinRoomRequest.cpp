#include "ZelvoRelay/Message/Registration/JoinRoomRequest.h"

#include "System/Crypto/SHA.h"
#include "ZelvoRelay/Message/MessageReader.h"
#include "ZelvoRelay/Message/MessageWriter.h"

namespace ZelvoRelay::Message::Registration {

JoinRoomRequest::JoinRoomRequest(uint32_t clientId, const System::String& name,
                                 const System::String& password)
    : BaseMessage(MessageWriter::TextSize(name) + 1 + DigestSize, MsgId, clientId) {
    MessageWriter writer(*this);
    writer.Text(name);
    if (password.Length() == 0) {
        writer.U8(0);
        return;
    }
    uint8_t digest[System::Crypto::SHA::SHA256Length];
    System::Crypto::SHA::SHA256(password, digest);
    writer.U8(DigestSize);
    writer.Bytes(reinterpret_cast<const char*>(digest), DigestSize);
}

System::String JoinRoomRequest::GetName() const {
    return MessageReader(*this).Text();
}

System::String JoinRoomRequest::GetPassword() const {
    MessageReader reader(*this);
    reader.SkipText();
    return reader.Text();
}

}  // namespace ZelvoRelay::Message::Registration
