#pragma once

#include <cstdint>

#include "System/String.h"
#include "ZelvoRelay/Threading/MessageTask.h"
#include "ZelvoRelay/Threading/PhotoFailure.h"

namespace ZelvoRelay::MVC::Model {
class MediaTransferModel;
}

namespace ZelvoRelay::Threading {

// An upload whose announced bytes have all arrived, on its way to the catalogue. The
// message worker makes it and hands it to the photo worker, which decodes the photo
// and writes its preview (MakePreview) holding no relay lock; the photo worker then
// queues it on the task queue, where the message worker applies the outcome (Apply).
// As a task it counts as a message received from the uploader, with no message.
class PhotoTask : public MessageTask {
  public:
    // For upload, whose file holds every byte received. Reads the configured preview
    // size and media path.
    explicit PhotoTask(const MVC::Model::MediaTransferModel& upload);
    // Removes a preview that no item took: the upload ended while its photo was made,
    // or the outcome was never applied.
    ~PhotoTask() override;

    // Decodes the photo (PNG or JPEG) and writes its preview, at the configured size
    // and in the photo's format. A photo that is neither, does not decode, or whose
    // media type is not a photo's gets no preview, and the reason is kept. Throws
    // std::bad_alloc when memory runs out, for the caller to Fail the photo.
    void MakePreview();
    // The photo gets no preview, for the reason given; the preview file of a photo
    // whose making was cut short is removed.
    void Fail(PhotoFailure failure);
    // The upload becomes an item (NewMediaItemEvent) when it is still in progress and
    // has its preview, and is discarded (its file removed) when it has none, with the
    // server's OnPhotoFailed.
    // REQUIRES: on the message worker, after MakePreview or Fail; no relay lock held.
    void Apply();

  private:
    uint32_t mMediaId;
    uint32_t mResourceId;
    uint32_t mMediaType;
    System::String mPhotoPath;    // the file of the photo as uploaded
    System::String mPreviewPath;  // where its preview goes
    uint32_t mPreviewWidth;       // the configured preview size
    uint32_t mPreviewHeight;
    // Set once the preview file is complete, cleared when an item takes it.
    bool mPreviewWritten{false};
    int64_t mPreviewLength{0};  // bytes of the preview file
    uint32_t mPhotoWidth{0};    // of the photo, in pixels
    uint32_t mPhotoHeight{0};
    // Why there is no preview; Discarded until the photo is made.
    PhotoFailure mFailure{PhotoFailure::Discarded};
};

}  // namespace ZelvoRelay::Threading
