#include "ZelvoRelay/MVC/Commands/NewMediaItemCommand.h"

#include "System/Threading/MonitorLock.h"
#include "ZelvoRelay/MVC/Events/NewMediaItemEvent.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

namespace ZelvoRelay::MVC::Commands {

void NewMediaItemCommand::Execute(System::MVC::EventDispatcher* event) {
    const Model::MediaTransferModel& upload =
        static_cast<Events::NewMediaItemEvent*>(event)->mTransfer;
    Model::ZelvoRelayModel* model = Model::ZelvoRelayModel::Instance();
    System::Threading::MonitorLock lock(model->Media.mMonitor);
    model->Media.Add(static_cast<const Model::MediaModel&>(upload));
    lock.Unlock();
    model->Uploads.RemoveMedia(upload.mClientId, upload.mMediaId, upload.mResourceId);
}

}  // namespace ZelvoRelay::MVC::Commands
