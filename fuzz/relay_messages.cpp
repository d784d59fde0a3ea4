// Relay frames and messages: any bytes, cut into reads of any size, frame into the same
// messages as in one read, and every message of every type decodes without reading
// outside itself.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "System/EventManager.h"
#include "System/Net/NetStream.h"
#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/MVC/Model/MessageModel.h"
#include "ZelvoRelay/Message/Chat/ChatMessage.h"
#include "ZelvoRelay/Message/Common/ErrorMessage.h"
#include "ZelvoRelay/Message/Media/AddMediaRequest.h"
#include "ZelvoRelay/Message/Media/AddMediaResponse.h"
#include "ZelvoRelay/Message/Media/GetMediaInfoRequest.h"
#include "ZelvoRelay/Message/Media/GetMediaInfoResponse.h"
#include "ZelvoRelay/Message/Media/GetMediaRequest.h"
#include "ZelvoRelay/Message/Media/GetMediaResponse.h"
#include "ZelvoRelay/Message/Media/MediaChunkMessage.h"
#include "ZelvoRelay/Message/Media/RemoveMediaRequest.h"
#include "ZelvoRelay/Message/Media/RemoveMediaResponse.h"
#include "ZelvoRelay/Message/Media/StopMediaTransferMessage.h"
#include "ZelvoRelay/Message/MessageFactory.h"
#include "ZelvoRelay/Message/Registration/ChangeNameMessage.h"
#include "ZelvoRelay/Message/Registration/JoinRoomRequest.h"
#include "ZelvoRelay/Message/Registration/JoinRoomResponse.h"
#include "ZelvoRelay/Message/Registration/RoomInfoMessage.h"
#include "ZelvoRelay/Message/Registration/UserJoinedMessage.h"
#include "ZelvoRelay/Message/Registration/UserPrivilegeMessage.h"
#include "ZelvoRelay/Message/Registration/UserStatusMessage.h"
#include "ZelvoRelay/Message/Voice/VoiceDataMessage.h"
#include "ZelvoRelay/Message/Voice/VoiceInitializationMessage.h"
#include "fuzz/Fuzz.h"

using namespace ZelvoRelay::Message;
using System::Net::NetStream;

namespace {

// Adds up every field given, byte by byte for texts, so that each one is really read.
uint64_t gSum = 0;
template <class T>
void Read(T value) {
    gSum += static_cast<uint64_t>(value);
}
void Read(const char* bytes, uint32_t count) {
    for (uint32_t i = 0; i < count && bytes != nullptr; ++i) {
        gSum += static_cast<unsigned char>(bytes[i]);
    }
}
void Read(const System::String& text) {
    Read(text.CStr(), text.Length());
}
template <class A, class B, class... T>
void Read(const A& first, const B& second, const T&... rest) {
    Read(first);
    Read(second);
    (Read(rest), ...);
}

// Reads every field of message as the class registered for its type id lays it out.
void Decode(const BaseMessage& message) {
    using namespace Registration;
    using namespace Media;
    const auto available = [&message](int32_t offset, uint32_t declared) {
        return std::min<uint32_t>(declared, std::max(message.GetMsgSize() - offset, 0));
    };
    switch (message.GetMsgId()) {
        case Common::ErrorMessage::MsgId:
            return Read(static_cast<const Common::ErrorMessage&>(message).GetErrorId());
        case JoinRoomRequest::MsgId: {
            const auto& m = static_cast<const JoinRoomRequest&>(message);
            return Read(m.GetName(), m.GetPassword());
        }
        case JoinRoomResponse::MsgId:
            return Read(static_cast<const JoinRoomResponse&>(message).GetErrorId());
        case RoomInfoMessage::MsgId: {
            const auto& m = static_cast<const RoomInfoMessage&>(message);
            return Read(m.GetName(), m.GetSummary(), m.GetMaxClients());
        }
        case UserJoinedMessage::MsgId: {
            const auto& m = static_cast<const UserJoinedMessage&>(message);
            return Read(m.GetName(), m.GetUserGroup());
        }
        case UserPrivilegeMessage::MsgId: {
            const auto& m = static_cast<const UserPrivilegeMessage&>(message);
            const auto privileges = m.GetPrivileges();
            for (uint32_t i = 0; i < privileges.Count(); ++i) {
                Read(privileges[i].Privilege, privileges[i].Right);
            }
            return Read(m.GetUserGroup());
        }
        case UserStatusMessage::MsgId:
            return Read(static_cast<const UserStatusMessage&>(message).GetStatus());
        case ChangeNameMessage::MsgId:
            return Read(static_cast<const ChangeNameMessage&>(message).GetName());
        case Voice::VoiceInitializationMessage::MsgId: {
            const auto& m = static_cast<const Voice::VoiceInitializationMessage&>(message);
            return Read(m.GetSampleRate(), m.GetChannels(), m.GetBitsPerSample(),
                        m.GetCompression(), m.GetCompressionQuality());
        }
        case Voice::VoiceDataMessage::MsgId: {
            const auto& m = static_cast<const Voice::VoiceDataMessage&>(message);
            Read(m.GetSequenceId());
            return Read(m.GetVoiceData(), available(8, m.GetVoiceDataSize()));
        }
        case Chat::ChatMessage::MsgId:
            return Read(static_cast<const Chat::ChatMessage&>(message).GetMessage());
        case AddMediaRequest::MsgId: {
            const auto& m = static_cast<const AddMediaRequest&>(message);
            return Read(m.GetRequestId(), m.GetMediaType(), m.GetMediaSize(), m.GetMediaName());
        }
        case AddMediaResponse::MsgId: {
            const auto& m = static_cast<const AddMediaResponse&>(message);
            return Read(m.GetRequestId(), m.GetErrorType(), m.GetMediaId());
        }
        case GetMediaInfoRequest::MsgId: {
            const auto& m = static_cast<const GetMediaInfoRequest&>(message);
            return Read(m.GetStartId(), m.GetCount());
        }
        case GetMediaInfoResponse::MsgId: {
            const auto feed = static_cast<const GetMediaInfoResponse&>(message).GetAtom();
            for (uint32_t i = 0; i < feed.mEntries.Count(); ++i) {
                Read(feed.mEntries[i].mId, feed.mEntries[i].mTitle.mText);
            }
            return;
        }
        case GetMediaRequest::MsgId:
        case StopMediaTransferMessage::MsgId: {
            const auto& m = static_cast<const MediaFileMessage&>(message);
            return Read(m.GetMediaId(), m.GetResourceId());
        }
        case GetMediaResponse::MsgId: {
            const auto& m = static_cast<const GetMediaResponse&>(message);
            return Read(m.GetErrorType(), m.GetMediaId(), m.GetResourceId());
        }
        case MediaChunkMessage::MsgId: {
            const auto& m = static_cast<const MediaChunkMessage&>(message);
            FUZZ_CHECK(m.GetChunkDataLength() == available(16, m.GetChunkSize()));
            Read(m.GetMediaId(), m.GetResourceId(), m.GetChunkOffset());
            return Read(m.GetChunkData(), m.GetChunkDataLength());
        }
        case RemoveMediaRequest::MsgId:
            return Read(static_cast<const RemoveMediaRequest&>(message).GetMediaId());
        case RemoveMediaResponse::MsgId: {
            const auto& m = static_cast<const RemoveMediaResponse&>(message);
            return Read(m.GetErrorType(), m.GetMediaId());
        }
        default:
            return Read(message.GetClientId());
    }
}

// The messages a stream cuts from the bytes it is given, decoded as the relay does.
class Receiver : public System::Object {
  public:
    Receiver() : mStream(mClient, ZelvoRelay::Client::RelayClient::kMaxMessageSize) {
        mEvents.Add(mStream.OnMessage, this, &Receiver::OnMessage);
        mEvents.Add(mStream.OnLargeMessage, this, &Receiver::OnLargeMessage);
    }

    void Receive(const std::string& bytes) {
        if (!mRefused) {
            mStream.OnReceiveMessage(&mClient, const_cast<char*>(bytes.data()),
                                     static_cast<int>(bytes.size()));
        }
    }

    std::vector<std::string> mMessages;  // the payloads in order
    bool mRefused{false};                // a declared length was too large: the client is dropped

  private:
    void OnMessage(NetStream*, char* data, int size) {
        mMessages.emplace_back(data, static_cast<size_t>(size));
        static const ZelvoRelay::MVC::Model::MessageModel registry;
        const std::unique_ptr<BaseMessage> message(
            MessageFactory(registry).CreateMessage(data, size));
        if (message != nullptr) {
            Decode(*message);
        }
    }
    void OnLargeMessage(NetStream*, char*, int, int) { mRefused = true; }

    System::Net::Client mClient{System::Net::Client::TCP};
    NetStream mStream;
    System::EventManager mEvents;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider provider(data, size);
    Receiver pieces;
    std::string received;
    while (provider.remaining_bytes() > 0) {
        const std::string piece =
            provider.ConsumeBytesAsString(provider.ConsumeIntegralInRange<size_t>(1, 64));
        pieces.Receive(piece);
        received += piece;
    }
    Receiver whole;
    whole.Receive(received);
    FUZZ_CHECK(pieces.mMessages == whole.mMessages && pieces.mRefused == whole.mRefused);
    return 0;
}
