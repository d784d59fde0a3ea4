#include "ZelvoRelay/MVC/Commands/RemoveMediaItemCommand.h"

#include <cstdint>

#include "System/Utility/FileSystem.h"
#include "ZelvoRelay/MVC/Events/RemoveMediaItemEvent.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

namespace ZelvoRelay::MVC::Commands {

namespace {

// Removes the photo and then the preview of the item id.
void RemoveFiles(uint32_t mediaId) {
    const System::String& mediaPath = Model::ZelvoRelayModel::Instance()->Configuration.MediaPath;
    const System::Utility::FileSystem files;
    for (uint32_t resource : {Model::MediaModel::FullImage, Model::MediaModel::Preview}) {
        (void)files.RemoveFile(Model::MediaModel::GetResourcePath(mediaPath, mediaId, resource));
    }
}

}  // namespace

void RemoveMediaItemCommand::Execute(System::MVC::EventDispatcher* event) {
    const uint32_t mediaId = static_cast<Events::RemoveMediaItemEvent*>(event)->mMediaId;
    Collections::MediaCollection& catalogue = Model::ZelvoRelayModel::Instance()->Media;
    catalogue.mMonitor.Enter();
    if (mediaId != Events::RemoveMediaItemEvent::AllItems) {
        if (catalogue.RemoveMedia(mediaId)) {
            RemoveFiles(mediaId);
        }
    } else {
        for (auto* node = catalogue.First(); node != nullptr; node = catalogue.Next(node)) {
            RemoveFiles(node->mValue.mMediaId);
        }
        catalogue.Clear();
    }
    catalogue.mMonitor.Exit();
}

}  // namespace ZelvoRelay::MVC::Commands
