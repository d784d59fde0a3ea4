#include "ZelvoRelay/Processor/Media/MediaChunkMessageProcessor.h"

#include <cstdint>

#include "System/IO/FileStream.h"
#include "System/Threading/MonitorLock.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/Media/MediaChunkMessage.h"
#include "ZelvoRelay/Threading/PhotoTask.h"

namespace ZelvoRelay::Processor::Media {

void MediaChunkMessageProcessor::Process(Message::BaseMessage* message, uint32_t clientId) {
    const auto& chunk = *static_cast<Message::Media::MediaChunkMessage*>(message);
    MVC::Model::ZelvoRelayModel* model = MVC::Model::ZelvoRelayModel::Instance();
    auto& uploads = model->Uploads;
    Threading::PhotoTask* photo = nullptr;
    bool notWritten = false;
    System::Threading::MonitorLock lock(uploads.mMonitor);
    MVC::Model::MediaTransferModel* upload =
        uploads.Find(clientId, chunk.GetMediaId(), chunk.GetResourceId());
    if (upload != nullptr) {
        // The offset field is not read: chunks are appended in the order they arrive.
        upload->mStream->Write(reinterpret_cast<const unsigned char*>(chunk.GetChunkData()), 0,
                               static_cast<int>(chunk.GetChunkDataLength()));
        // Compared as unsigned 64-bit numbers: an announced size of 2^31 or more, read back
        // from its signed field, would otherwise count as reached by the first chunk.
        const auto announced = static_cast<uint32_t>(upload->mMediaGroup.mContents[0].mFileSize);
        const bool complete =
            static_cast<uint64_t>(upload->mStream->Position()) >= uint64_t{announced};
        if (complete) {
            // The photo worker reads the file through a stream of its own.
            upload->mStream->Flush();
        }
        // A file that missed some bytes (a full disk) would become an item with its photo
        // cut short, and its position may never reach the announced size: the upload ends
        // here and its file goes.
        const auto* file = dynamic_cast<const System::IO::FileStream*>(upload->mStream);
        notWritten = file != nullptr && file->Failed();
        if (notWritten) {
            uploads.DiscardUpload(clientId, chunk.GetMediaId(), chunk.GetResourceId());
        } else if (complete) {
            photo = new Threading::PhotoTask(*upload);
        }
    }
    lock.Unlock();
    if (notWritten) {
        model->Server.OnPhotoFailed.Raise(clientId, chunk.GetMediaId(),
                                          Threading::PhotoFailure::PhotoNotWritten);
        model->Server.OnUploadEnded.Raise(clientId, chunk.GetMediaId(), false);
    }
    // Handed over outside the uploads monitor: the hold looks the uploader up in the
    // client collection, whose monitor comes first.
    if (photo != nullptr) {
        model->HeldUploaders.Hold(photo);
    }
}

}  // namespace ZelvoRelay::Processor::Media
