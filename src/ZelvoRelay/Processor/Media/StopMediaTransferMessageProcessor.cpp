#include "ZelvoRelay/Processor/Media/StopMediaTransferMessageProcessor.h"

#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/Media/StopMediaTransferMessage.h"

namespace ZelvoRelay::Processor::Media {

void StopMediaTransferMessageProcessor::Process(Message::BaseMessage* message, uint32_t clientId) {
    const auto& stop = *static_cast<Message::Media::StopMediaTransferMessage*>(message);
    auto& uploads = MVC::Model::ZelvoRelayModel::Instance()->Uploads;
    uploads.mMonitor.Enter();
    uploads.DiscardUpload(clientId, stop.GetMediaId(), stop.GetResourceId());
    uploads.mMonitor.Exit();
}

}  // namespace ZelvoRelay::Processor::Media
