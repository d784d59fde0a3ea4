#include "ZelvoRelay/MVC/Model/MessageModel.h"

#include "System/Collections/HashFunctions.h"
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
#include "ZelvoRelay/Message/MessageConstructor.h"
#include "ZelvoRelay/Message/Registration/ChangeNameMessage.h"
#include "ZelvoRelay/Message/Registration/JoinRoomRequest.h"
#include "ZelvoRelay/Message/Registration/JoinRoomResponse.h"
#include "ZelvoRelay/Message/Registration/RoomInfoMessage.h"
#include "ZelvoRelay/Message/Registration/UserJoinedMessage.h"
#include "ZelvoRelay/Message/Registration/UserLeftMessage.h"
#include "ZelvoRelay/Message/Registration/UserPrivilegeMessage.h"
#include "ZelvoRelay/Message/Registration/UserStatusMessage.h"
#include "ZelvoRelay/Message/Voice/VoiceDataMessage.h"
#include "ZelvoRelay/Message/Voice/VoiceInitializationMessage.h"
#include "ZelvoRelay/Processor/Chat/ChatMessageProcessor.h"
#include "ZelvoRelay/Processor/IMessageProcessor.h"
#include "ZelvoRelay/Processor/Media/AddMediaRequestProcessor.h"
#include "ZelvoRelay/Processor/Media/GetMediaInfoRequestProcessor.h"
#include "ZelvoRelay/Processor/Media/GetMediaRequestProcessor.h"
#include "ZelvoRelay/Processor/Media/MediaChunkMessageProcessor.h"
#include "ZelvoRelay/Processor/Media/RemoveMediaRequestProcessor.h"
#include "ZelvoRelay/Processor/Media/StopMediaTransferMessageProcessor.h"
#include "ZelvoRelay/Processor/Registration/ChangeNameMessageProcessor.h"
#include "ZelvoRelay/Processor/Registration/JoinRoomRequestProcessor.h"
#include "ZelvoRelay/Processor/Registration/UserStatusMessageProcessor.h"
#include "ZelvoRelay/Processor/Voice/VoiceMessageProcessor.h"
#include "ZelvoRelay/Threading/MessageTask.h"

namespace ZelvoRelay::MVC::Model {

namespace {

// The value registered under key, or null.
template <class V>
V Lookup(const System::Collections::Hash<uint32_t, V>& registry, uint32_t key) {
    const auto* entry = registry.Find(key);
    return entry == nullptr ? nullptr : entry->mValue;
}

// Deletes every value of a registry whose keys are type ids, which are one byte.
template <class V>
void DeleteValues(System::Collections::Hash<uint32_t, V>& registry) {
    for (uint32_t typeId = 0; typeId <= UINT8_MAX; ++typeId) {
        delete Lookup(registry, typeId);
        registry.Remove(typeId);
    }
}

}  // namespace

template <class M>
void MessageModel::AddMessage() {
    mConstructors.Set(M::MsgId, new Message::MessageConstructor<M>());
}

template <class M, class P>
void MessageModel::AddProcessor() {
    mProcessors.Set(M::MsgId, new P());
}

MessageModel::MessageModel()
    : mConstructors(BucketCount, System::Collections::HashFunctions::IntHash),
      mProcessors(BucketCount, System::Collections::HashFunctions::IntHash) {
    AddMessage<Message::Common::ErrorMessage>();
    AddMessage<Message::Registration::JoinRoomRequest>();
    AddMessage<Message::Registration::JoinRoomResponse>();
    AddMessage<Message::Registration::RoomInfoMessage>();
    AddMessage<Message::Registration::UserJoinedMessage>();
    AddMessage<Message::Registration::UserLeftMessage>();
    AddMessage<Message::Registration::UserPrivilegeMessage>();
    AddMessage<Message::Registration::UserStatusMessage>();
    AddMessage<Message::Registration::ChangeNameMessage>();
    AddMessage<Message::Voice::VoiceInitializationMessage>();
    AddMessage<Message::Voice::VoiceDataMessage>();
    AddMessage<Message::Chat::ChatMessage>();
    AddMessage<Message::Media::AddMediaRequest>();
    AddMessage<Message::Media::AddMediaResponse>();
    AddMessage<Message::Media::GetMediaInfoRequest>();
    AddMessage<Message::Media::GetMediaInfoResponse>();
    AddMessage<Message::Media::GetMediaRequest>();
    AddMessage<Message::Media::GetMediaResponse>();
    AddMessage<Message::Media::MediaChunkMessage>();
    AddMessage<Message::Media::StopMediaTransferMessage>();
    AddMessage<Message::Media::RemoveMediaRequest>();
    AddMessage<Message::Media::RemoveMediaResponse>();

    AddProcessor<Message::Registration::JoinRoomRequest,
                 Processor::Registration::JoinRoomRequestProcessor>();
    AddProcessor<Message::Registration::UserStatusMessage,
                 Processor::Registration::UserStatusMessageProcessor>();
    AddProcessor<Message::Registration::ChangeNameMessage,
                 Processor::Registration::ChangeNameMessageProcessor>();
    AddProcessor<Message::Voice::VoiceDataMessage, Processor::Voice::VoiceMessageProcessor>();
    AddProcessor<Message::Chat::ChatMessage, Processor::Chat::ChatMessageProcessor>();
    AddProcessor<Message::Media::GetMediaInfoRequest,
                 Processor::Media::GetMediaInfoRequestProcessor>();
    AddProcessor<Message::Media::GetMediaRequest, Processor::Media::GetMediaRequestProcessor>();
    AddProcessor<Message::Media::AddMediaRequest, Processor::Media::AddMediaRequestProcessor>();
    AddProcessor<Message::Media::MediaChunkMessage, Processor::Media::MediaChunkMessageProcessor>();
    AddProcessor<Message::Media::StopMediaTransferMessage,
                 Processor::Media::StopMediaTransferMessageProcessor>();
    AddProcessor<Message::Media::RemoveMediaRequest,
                 Processor::Media::RemoveMediaRequestProcessor>();
}

MessageModel::~MessageModel() {
    DiscardTasks();
    DeleteValues(mConstructors);
    DeleteValues(mProcessors);
}

Message::IMessageConstructor* MessageModel::GetConstructor(uint32_t typeId) const {
    return Lookup(mConstructors, typeId);
}

Processor::IMessageProcessor* MessageModel::GetProcessor(uint32_t typeId) const {
    return Lookup(mProcessors, typeId);
}

void MessageModel::DiscardTasks() {
    while (Threading::MessageTask* task = mTasks.Dequeue()) {
        task->Discard();
    }
}

}  // namespace ZelvoRelay::MVC::Model
