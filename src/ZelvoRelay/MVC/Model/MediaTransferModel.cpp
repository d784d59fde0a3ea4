#include "ZelvoRelay/MVC/Model/MediaTransferModel.h"

namespace ZelvoRelay::MVC::Model {

MediaTransferModel::MediaTransferModel(uint32_t clientId, uint32_t mediaId, uint32_t resourceId)
    : mClientId(clientId), mResourceId(resourceId) {
    mMediaId = mediaId;
}

int MediaTransferModel::Compare(const MediaTransferModel& other) const {
    const uint32_t mine[] = {mMediaId, mResourceId, mClientId};
    const uint32_t theirs[] = {other.mMediaId, other.mResourceId, other.mClientId};
    for (int i = 0; i < 3; ++i) {
        if (mine[i] != theirs[i]) {
            return mine[i] < theirs[i] ? -1 : 1;
        }
    }
    return 0;
}

}  // namespace ZelvoRelay::MVC::Model
