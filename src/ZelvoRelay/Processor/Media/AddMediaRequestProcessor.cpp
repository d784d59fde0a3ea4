#include "ZelvoRelay/Processor/Media/AddMediaRequestProcessor.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "System/DateTime.h"
#include "System/IO/DescriptorLimit.h"
#include "System/IO/DescriptorRoom.h"
#include "System/IO/FileStream.h"
#include "System/Threading/MonitorLock.h"
#include "System/Utility/FileSystem.h"
#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/Media/AddMediaRequest.h"
#include "ZelvoRelay/Message/Media/AddMediaResponse.h"

namespace ZelvoRelay::Processor::Media {

namespace {

using Message::Media::AddMediaRequest;
using Message::Media::AddMediaResponse;
using MVC::Model::MediaModel;
using MVC::Model::MediaTransferModel;
using MVC::Model::ZelvoRelayModel;

// The only media type uploads may have: an image.
constexpr uint8_t ImageType = 1;

// Draws the media id of the announced upload, creates its file and enters it into the
// uploads; the id, or nothing when the file could not be created or the client has as many
// uploads in progress as it may. A file given a descriptor of the reserve kept for the saves
// is removed again, and reserved set.
std::optional<uint32_t> StartUpload(ZelvoRelayModel* model, const AddMediaRequest& request,
                                    uint32_t clientId, const System::String& uploader,
                                    bool& reserved) {
    MediaTransferModel upload;
    upload.mClientId = clientId;
    upload.mResourceId = MediaModel::FullImage;
    upload.mMediaType = request.GetMediaType();
    upload.mTitle.mText = request.GetMediaName();
    upload.mUploadTime = System::DateTime::UtcNow();
    upload.mPublished = upload.mUploadTime.ToString("yyyy/MM/dd hh:mm:ss");
    System::Resource::Feeds::AtomPersonConstruct author;
    author.mName = uploader;
    upload.mAuthors.Add(author);
    // Until the upload completes, element 0 holds the announced size.
    System::Resource::Feeds::MediaContent announced;
    announced.mFileSize = static_cast<int32_t>(request.GetMediaSize());
    upload.mMediaGroup.mContents.Add(announced);

    auto& uploads = model->Uploads;
    System::Threading::MonitorLock uploadsLock(uploads.mMonitor);
    // Without a bound, one member could have its uploads fill the disk's directory and the
    // photo worker's queue; where the open file limit leaves less than 16 transfers for each
    // place of the room, the bound is a member's share of what it leaves.
    const uint32_t most = std::min(AddMediaRequestProcessor::kMaxUploadsPerClient,
                                   model->Configuration.MaxDownloadsPerMember.load());
    if (uploads.CountClient(clientId) >= most) {
        return std::nullopt;
    }
    System::Threading::MonitorLock catalogueLock(model->Media.mMonitor);
    upload.mMediaId = MediaModel::GenerateId(model->Media, uploads);
    catalogueLock.Unlock();
    upload.mId = System::String::Parse("%d", static_cast<int32_t>(upload.mMediaId));
    const System::String path = upload.GetResourcePath(MediaModel::FullImage);
    // Created now and closed again: each chunk opens it for itself
    // (MediaChunkMessageProcessor), so an upload whose client sends nothing holds no file.
    System::IO::FileStream file(path, 2);
    // Even for a moment, a file in the reserve stands for one a save may not find.
    reserved = System::IO::DescriptorLimit::IsReserved(file.Descriptor());
    const bool accepted =
        file.CanWrite() && !reserved &&
        uploads.Find(upload.mClientId, upload.mMediaId, upload.mResourceId) == nullptr;
    file.Close();
    if (accepted) {
        uploads.Add(upload);
    } else if (reserved) {
        // Created empty just now; nothing else refers to it.
        (void)System::Utility::FileSystem().RemoveFile(path);
    }
    return accepted ? std::optional<uint32_t>(upload.mMediaId) : std::nullopt;
}

}  // namespace

void AddMediaRequestProcessor::Process(Message::BaseMessage* message, uint32_t clientId) {
    const auto& request = *static_cast<AddMediaRequest*>(message);
    ZelvoRelayModel* model = ZelvoRelayModel::Instance();
    auto error = AddMediaResponse::Accepted;
    std::optional<uint32_t> mediaId;

    // The client-collection monitor is held until the upload is entered, so a client that
    // leaves has the upload ended with its others instead of leaving it open for good.
    auto& clients = model->Clients;
    for (bool reserved = true; reserved;) {
        reserved = false;
        System::Threading::MonitorLock lock(clients.mMonitor);
        Client::RelayClient* sender = clients.mValue.FindClient(clientId);
        // Without this check any connection, joined or not, could fill the disk with photos.
        if (sender == nullptr || !sender->GetUserModel().CanWrite(
                                     MVC::Model::UserPrivilegeModel::UserPrivilege::Photos)) {
            error = AddMediaResponse::NotAllowed;
        } else if (request.GetMediaSize() > model->Configuration.MaxMediaSize) {
            error = AddMediaResponse::TooLarge;
        } else if (request.GetMediaType() != ImageType) {
            error = AddMediaResponse::WrongType;
        } else {
            mediaId =
                StartUpload(model, request, clientId, sender->GetUserModel().Name.mValue, reserved);
            error = mediaId ? AddMediaResponse::Accepted : AddMediaResponse::CannotCreate;
        }
        lock.Unlock();
        // Room is made with no monitor held, since closing a connection takes the
        // client-collection monitor; the request is then looked at afresh.
        reserved =
            reserved && System::IO::DescriptorRoom::Make(System::IO::DescriptorRoom::Use::Upload);
    }

    model->Server.OnUploadAnswered.Raise(clientId, mediaId.value_or(0),
                                         error == AddMediaResponse::Accepted);
    model->QueueMessage(
        new AddMediaResponse(clientId, request.GetRequestId(), error, mediaId.value_or(0)),
        clientId, 0);
}

}  // namespace ZelvoRelay::Processor::Media
