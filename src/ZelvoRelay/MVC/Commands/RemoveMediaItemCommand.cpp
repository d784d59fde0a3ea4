#include "ZelvoRelay/MVC/Commands/RemoveMediaItemCommand.h"

#include <cstdint>

#include "System/Threading/MonitorLock.h"
#include "ZelvoRelay/MVC/Events/RemoveMediaItemEvent.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

namespace ZelvoRelay::MVC::Commands {

void RemoveMediaItemCommand::Execute(System::MVC::EventDispatcher* event) {
    const uint32_t mediaId = static_cast<Events::RemoveMediaItemEvent*>(event)->mMediaId;
    Collections::MediaCollection& catalogue = Model::ZelvoRelayModel::Instance()->Media;
    System::Threading::MonitorLock lock(catalogue.mMonitor);
    if (mediaId != Events::RemoveMediaItemEvent::AllItems) {
        static_cast<void>(catalogue.RemoveMedia(mediaId));
    } else {
        catalogue.RemoveAll();
    }
}

}  // namespace ZelvoRelay::MVC::Commands
