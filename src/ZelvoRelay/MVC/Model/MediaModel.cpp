#include "ZelvoRelay/MVC/Model/MediaModel.h"

#include "ZelvoRelay/Collections/MediaCollection.h"
#include "ZelvoRelay/Collections/MediaTransferCollection.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

namespace ZelvoRelay::MVC::Model {

uint32_t MediaModel::mMediaIdCounter = 0;

uint32_t MediaModel::GenerateId(const Collections::MediaCollection& catalogue,
                                const Collections::MediaTransferCollection& uploads) {
    // Fewer ids are in use than there are items, removed items and uploads, so this ends.
    while (catalogue.HoldsId(mMediaIdCounter) || uploads.HoldsMedia(mMediaIdCounter)) {
        ++mMediaIdCounter;
    }
    return mMediaIdCounter++;
}

System::String MediaModel::GetResourcePath(uint32_t resource) const {
    return GetResourcePath(ZelvoRelayModel::Instance()->Configuration.MediaPath, mMediaId,
                           resource);
}

System::String MediaModel::GetResourcePath(const System::String& mediaPath, uint32_t id,
                                           uint32_t resource) {
    return System::String::Parse("%s%d_%d", mediaPath.CStr(), static_cast<int32_t>(id),
                                 static_cast<int32_t>(resource));
}

}  // namespace ZelvoRelay::MVC::Model
