#include "ZelvoRelay/Message/Media/MediaMessages.h"

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

namespace ZelvoRelay::Message::Media {

namespace {

template <class M>
void RegisterOne(MVC::Model::MessageModel& model) {
    if (model.GetConstructor(M::MsgId) == nullptr) {
        model.mConstructors.Set(M::MsgId, new MessageConstructor<M>());
    }
}

template <class... M>
void Register(MVC::Model::MessageModel& model) {
    (RegisterOne<M>(model), ...);
}

}  // namespace

void RegisterMediaMessages(MVC::Model::MessageModel& model) {
    Register<AddMediaRequest, AddMediaResponse, GetMediaInfoRequest, GetMediaInfoResponse,
             GetMediaRequest, GetMediaResponse, MediaChunkMessage, StopMediaTransferMessage,
             RemoveMediaRequest, RemoveMediaResponse>(model);
}

}  // namespace ZelvoRelay::Message::Media
