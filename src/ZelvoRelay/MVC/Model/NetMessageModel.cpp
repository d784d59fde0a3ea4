#include "ZelvoRelay/MVC/Model/NetMessageModel.h"

#include "ZelvoRelay/Message/BaseMessage.h"

namespace ZelvoRelay::MVC::Model {

NetMessageModel::NetMessageModel(const Message::BaseMessage& message) {
    const auto size = static_cast<uint32_t>(message.GetMsgSize());
    auto* frame = new System::IO::MemoryStream(static_cast<int32_t>(size + 4));
    const unsigned char length[4] = {
        static_cast<unsigned char>(size), static_cast<unsigned char>(size >> 8),
        static_cast<unsigned char>(size >> 16), static_cast<unsigned char>(size >> 24)};
    frame->Write(length, 0, 4);
    frame->Write(reinterpret_cast<const unsigned char*>(message.GetMsg()), 0,
                 static_cast<int>(size));
    Frame = System::SmartPointer<System::IO::MemoryStream>(frame);
}

NetMessageModel NetMessageModel::ReservedCopy() const {
    NetMessageModel copy;
    copy.SentBytes = SentBytes;
    copy.Frame = Frame.TakeReserved();
    copy.PostActions = PostActions;
    return copy;
}

}  // namespace ZelvoRelay::MVC::Model
