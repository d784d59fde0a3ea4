#include "ZelvoRelay/PostAction/PostSendMediaChunk.h"

#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/Media/MediaChunkMessage.h"

namespace ZelvoRelay::PostAction {

void PostSendMediaChunk::Execute() {
    MVC::Model::ZelvoRelayModel* model = MVC::Model::ZelvoRelayModel::Instance();
    auto& downloads = model->Downloads;
    downloads.mMonitor.Enter();
    const MVC::Model::MediaTransferModel* download =
        downloads.Find(mClientId, mMediaId, mResourceId);
    if (download != nullptr) {
        System::IO::Stream& file = *download->mStream;
        const int64_t offset = file.Position();
        unsigned char buffer[ChunkSize];
        // A read that yields nothing before the end (a read error) ends the download too;
        // sending an empty chunk instead would repeat it for ever.
        const int read =
            file.CanRead() && offset < file.Length() ? file.Read(buffer, 0, ChunkSize) : 0;
        if (read > 0) {
            model->QueueMessage(new Message::Media::MediaChunkMessage(
                                    mClientId, mMediaId, static_cast<uint8_t>(mResourceId),
                                    static_cast<uint32_t>(offset), static_cast<uint16_t>(read),
                                    reinterpret_cast<const char*>(buffer)),
                                mClientId, 0,
                                new PostSendMediaChunk(mClientId, mMediaId, mResourceId));
        } else {
            downloads.RemoveMedia(mClientId, mMediaId, mResourceId);
        }
    }
    downloads.mMonitor.Exit();
}

}  // namespace ZelvoRelay::PostAction
