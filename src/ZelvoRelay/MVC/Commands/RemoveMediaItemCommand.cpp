#include "ZelvoRelay/MVC/Commands/RemoveMediaItemCommand.h"

#include <cstdint>

#include "ZelvoRelay/MVC/Events/RemoveMediaItemEvent.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

namespace ZelvoRelay::MVC::Commands {

void RemoveMediaItemCommand::Execute(System::MVC::EventDispatcher* event) {
    const uint32_t mediaId = static_cast<Events::RemoveMediaItemEvent*>(event)->mMediaId;
    Collections::MediaCollection& catalogue = Model::ZelvoRelayModel::Instance()->Media;
    catalogue.mMonitor.Enter();
    if (mediaId != Events::RemoveMediaItemEvent::AllItems) {
        static_cast<void>(catalogue.RemoveMedia(mediaId));
    } else {
        catalogue.RemoveAll();
    }
    catalogue.mMonitor.Exit();
}

}  // namespace ZelvoRelay::MVC::Commands
