#include "ZelvoRelay/Processor/Media/MediaChunkMessageProcessor.h"

#include <cstdint>
#include <memory>
#include <utility>

#include "System/IO/FileStream.h"
#include "System/Threading/MonitorLock.h"
#include "ZelvoRelay/Collections/HeldFile.h"
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
        // Opened for this chunk alone, and closed before the next: held from one chunk to the
        // next, the files of members who announced uploads and sent nothing filled the table,
        // and newcomers were closed before their join. On the message worker only, so at most
        // one such file is open at once; a chunk never waits for the table, as its bytes
        // would be lost. The offset field is not read: chunks are appended in the order they
        // arrive.
        auto file = std::make_unique<System::IO::FileStream>(
            upload->GetResourcePath(upload->mResourceId), 6);
        const bool opened = file->CanWrite();
        file->Write(reinterpret_cast<const unsigned char*>(chunk.GetChunkData()), 0,
                    static_cast<int>(chunk.GetChunkDataLength()));
        upload->mPosition += chunk.GetChunkDataLength();
        // Compared as unsigned 64-bit numbers: an announced size of 2^31 or more, read back
        // from its signed field, would otherwise count as reached by the first chunk.
        const auto announced = static_cast<uint32_t>(upload->mMediaGroup.mContents[0].mFileSize);
        const bool complete = upload->mPosition >= uint64_t{announced};
        // A complete upload still moves until its photo is made, and keeps its file where the
        // table has room; the photo worker reads it through a stream of its own, so every byte
        // is flushed to it first. Any other is closed now, and checked once closed: a close
        // may be what fails to write.
        std::unique_ptr<Collections::HeldFile> held =
            complete && opened ? Collections::HeldFile::Take() : nullptr;
        if (held != nullptr) {
            file->Flush();
        } else {
            file->Close();
        }
        // A file that missed some bytes (a full disk) would become an item with its photo
        // cut short, and its position may never reach the announced size: the upload ends
        // here and its file goes.
        notWritten = !opened || file->Failed();
        if (held != nullptr && !notWritten) {
            held->Keep(std::move(file));
            upload->mFile = held.release();
        }
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
