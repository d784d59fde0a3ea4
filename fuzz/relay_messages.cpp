// Relay frames and messages: any bytes, cut into reads of any size, frame into the same
// messages as in one read, and every message of every type decodes without reading
// outside itself.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <type_traits>
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

// Sums the bytes of every field, so that each one is really read.
struct Reader {
    uint64_t mSum{0};
    void operator()(uint64_t value) { mSum += value; }
    template <class E, std::enable_if_t<std::is_enum_v<E>, int> = 0>
    void operator()(E value) {
        mSum += static_cast<uint64_t>(value);
    }
    void operator()(const System::String& text) { (*this)(text.CStr(), text.Length()); }
    void operator()(const char* bytes, uint32_t count) {
        for (uint32_t i = 0; i < count; ++i) {
            mSum += static_cast<unsigned char>(bytes[i]);
        }
    }
};

// Reads every field of message as the class registered for its type id lays it out.
void Decode(const BaseMessage& message) {
    Reader read;
    const auto available = [&message](int32_t offset, uint32_t declared) {
        return std::min<uint32_t>(declared, std::max(message.GetMsgSize() - offset, 0));
    };
    switch (message.GetMsgId()) {
        case Common::ErrorMessage::MsgId:
            return read(static_cast<const Common::ErrorMessage&>(message).GetErrorId());
        case Registration::JoinRoomRequest::MsgId: {
            const auto& join = static_cast<const Registration::JoinRoomRequest&>(message);
            read(join.GetName());
            return read(join.GetPassword());
        }
        case Registration::JoinRoomResponse::MsgId:
            return read(static_cast<const Registration::JoinRoomResponse&>(message).GetErrorId());
        case Registration::RoomInfoMessage::MsgId: {
            const auto& room = static_cast<const Registration::RoomInfoMessage&>(message);
            read(room.GetName());
            read(room.GetSummary());
            return read(room.GetMaxClients());
        }
        case Registration::UserJoinedMessage::MsgId: {
            const auto& joined = static_cast<const Registration::UserJoinedMessage&>(message);
            read(joined.GetName());
            return read(joined.GetUserGroup());
        }
        case Registration::UserPrivilegeMessage::MsgId: {
            const auto& rights = static_cast<const Registration::UserPrivilegeMessage&>(message);
            read(rights.GetUserGroup());
            const auto privileges = rights.GetPrivileges();
            for (uint32_t i = 0; i < privileges.Count(); ++i) {
                read(privileges[i].Privilege);
                read(privileges[i].Right);
            }
            return;
        }
        case Registration::UserStatusMessage::MsgId:
            return read(static_cast<const Registration::UserStatusMessage&>(message).GetStatus());
        case Registration::ChangeNameMessage::MsgId:
            return read(static_cast<const Registration::ChangeNameMessage&>(message).GetName());
        case Voice::VoiceInitializationMessage::MsgId: {
            const auto& init = static_cast<const Voice::VoiceInitializationMessage&>(message);
            read(init.GetSampleRate());
            read(init.GetChannels());
            read(init.GetBitsPerSample());
            read(init.GetCompression());
            return read(init.GetCompressionQuality());
        }
        case Voice::VoiceDataMessage::MsgId: {
            const auto& voice = static_cast<const Voice::VoiceDataMessage&>(message);
            read(voice.GetSequenceId());
            if (voice.GetVoiceData() != nullptr) {
                read(voice.GetVoiceData(), available(8, voice.GetVoiceDataSize()));
            }
            return;
        }
        case Chat::ChatMessage::MsgId:
            return read(static_cast<const Chat::ChatMessage&>(message).GetMessage());
        case Media::AddMediaRequest::MsgId: {
            const auto& add = static_cast<const Media::AddMediaRequest&>(message);
            read(add.GetRequestId());
            read(add.GetMediaType());
            read(add.GetMediaSize());
            return read(add.GetMediaName());
        }
        case Media::AddMediaResponse::MsgId: {
            const auto& added = static_cast<const Media::AddMediaResponse&>(message);
            read(added.GetRequestId());
            read(added.GetErrorType());
            return read(added.GetMediaId());
        }
        case Media::GetMediaInfoRequest::MsgId: {
            const auto& list = static_cast<const Media::GetMediaInfoRequest&>(message);
            read(list.GetStartId());
            return read(list.GetCount());
        }
        case Media::GetMediaInfoResponse::MsgId: {
            const auto feed = static_cast<const Media::GetMediaInfoResponse&>(message).GetAtom();
            for (uint32_t i = 0; i < feed.mEntries.Count(); ++i) {
                read(feed.mEntries[i].mId);
                read(feed.mEntries[i].mTitle.mText);
            }
            return;
        }
        case Media::GetMediaRequest::MsgId:
        case Media::StopMediaTransferMessage::MsgId: {
            const auto& file = static_cast<const Media::MediaFileMessage&>(message);
            read(file.GetMediaId());
            return read(file.GetResourceId());
        }
        case Media::GetMediaResponse::MsgId: {
            const auto& answer = static_cast<const Media::GetMediaResponse&>(message);
            read(answer.GetErrorType());
            read(answer.GetMediaId());
            return read(answer.GetResourceId());
        }
        case Media::MediaChunkMessage::MsgId: {
            const auto& chunk = static_cast<const Media::MediaChunkMessage&>(message);
            read(chunk.GetMediaId());
            read(chunk.GetResourceId());
            read(chunk.GetChunkOffset());
            FUZZ_CHECK(chunk.GetChunkDataLength() == available(16, chunk.GetChunkSize()));
            if (chunk.GetChunkData() != nullptr) {
                read(chunk.GetChunkData(), chunk.GetChunkDataLength());
            }
            return;
        }
        case Media::RemoveMediaRequest::MsgId:
            return read(static_cast<const Media::RemoveMediaRequest&>(message).GetMediaId());
        case Media::RemoveMediaResponse::MsgId: {
            const auto& removed = static_cast<const Media::RemoveMediaResponse&>(message);
            read(removed.GetErrorType());
            return read(removed.GetMediaId());
        }
        default:
            read(message.GetClientId());
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
