#include "ZelvoRelay/Processor/Media/StopMediaTransferMessageProcessor.h"

#include "System/Threading/MonitorLock.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/Media/StopMediaTransferMessage.h"

namespace ZelvoRelay::Processor::Media {

void StopMediaTransferMessageProcessor::Process(Message::BaseMessage* message, uint32_t clientId) {
    const auto& stop = *static_cast<Message::Media::StopMediaTransferMessage*>(message);
    MVC::Model::ZelvoRelayModel* model = MVC::Model::ZelvoRelayModel::Instance();
    auto& uploads = model->Uploads;
    System::Threading::MonitorLock lock(uploads.mMonitor);
    const bool stopped = uploads.DiscardUpload(clientId, stop.GetMediaId(), stop.GetResourceId());
    lock.Unlock();
    if (stopped) {
        model->Server.OnUploadEnded.Raise(clientId, stop.GetMediaId(), false);
    }
}

}  // namespace ZelvoRelay::Processor::Media
