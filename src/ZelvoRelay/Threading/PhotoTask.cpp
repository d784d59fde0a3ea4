#include "ZelvoRelay/Threading/PhotoTask.h"

#include "System/IO/FileStream.h"
#include "System/Resource/Files/JPG.h"
#include "System/Resource/Files/PNG.h"
#include "System/Resource/Filters/FilterResize.h"
#include "System/Resource/Image.h"
#include "System/Threading/MonitorLock.h"
#include "System/Utility/FileSystem.h"
#include "ZelvoRelay/MVC/Events/NewMediaItemEvent.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

#include <new>

namespace ZelvoRelay::Threading {

namespace {

using MVC::Model::MediaModel;
using System::Resource::Image;
using System::Resource::Files::JPG;
using System::Resource::Files::PNG;

// A photo's format, by its first bytes and a header its codec accepts.
enum class Format { None, Png, Jpeg };

// The media type of a photo.
constexpr uint32_t PhotoType = 1;
// The quality of JPEG previews.
constexpr int PreviewQuality = 80;

// Reads the header of a photo in Codec's format, and its size; why the photo cannot be
// decoded, as its header says, or None.
template <typename Codec, typename Header>
PhotoFailure ReadHeader(System::IO::Stream& stream, Header& header, uint32_t& width,
                        uint32_t& height) {
    if (!Codec::GetHeader(stream, header)) {
        return PhotoFailure::Undecodable;
    }
    width = header.mWidth;
    height = header.mHeight;
    if (width == 0 || height == 0) {
        return PhotoFailure::Undecodable;
    }
    return static_cast<uint64_t>(width) * height > Image::kMaxPixels ? PhotoFailure::TooLarge
                                                                     : PhotoFailure::None;
}

// Decodes the photo in stream into image, no larger than it must be to cover a
// coverWidth x coverHeight preview, and reports the photo's format and own size; why it
// could not, with image left empty, when it is no PNG or JPEG or does not decode.
// Throws std::bad_alloc when memory runs out.
PhotoFailure Decode(System::IO::Stream& stream, uint32_t coverWidth, uint32_t coverHeight,
                    Image& image, Format& format, uint32_t& width, uint32_t& height) {
    unsigned char magic[4] = {};
    stream.Position(0);
    const int read = stream.Read(magic, 0, sizeof magic);
    stream.Position(0);
    // A shorter file would be judged by bytes it does not hold.
    if (read < static_cast<int>(sizeof magic)) {
        return PhotoFailure::Undecodable;
    }
    if (magic[0] == 0x89 && magic[1] == 'P' && magic[2] == 'N' && magic[3] == 'G') {
        PNG::PngHeader header;
        if (const PhotoFailure refused = ReadHeader<PNG>(stream, header, width, height);
            refused != PhotoFailure::None) {
            return refused;
        }
        stream.Position(0);
        const uint32_t channels = PNG::ChannelCount(header.mColourType);
        image.Copy(PNG::LoadEightBit(stream), width, height, channels, 8 * channels);
        format = Format::Png;
    } else if (magic[0] == 0xFF && magic[1] == 0xD8) {
        JPG::JpgHeader header;
        if (const PhotoFailure refused = ReadHeader<JPG>(stream, header, width, height);
            refused != PhotoFailure::None) {
            return refused;
        }
        stream.Position(0);
        JPG::JpgHeader decoded;
        unsigned char* pixels = JPG::Load(stream, coverWidth, coverHeight, decoded);
        image.Copy(pixels, decoded.mWidth, decoded.mHeight, decoded.mBitsPerPixel / 8u,
                   decoded.mBitsPerPixel);
        format = Format::Jpeg;
    }
    return image.GetImage() != nullptr ? PhotoFailure::None : PhotoFailure::Undecodable;
}

// Writes preview in format to a new file at path; false when nothing usable was written.
bool WritePreview(const System::String& path, Format format, const Image& preview,
                  int64_t& length) {
    System::IO::FileStream file(path, 2);
    const bool written =
        format == Format::Png
            ? PNG::Write(file, preview.GetWidth(), preview.GetHeight(), preview.GetNumChannel(),
                         preview.GetBitsPerPixel(), preview.GetImage())
            : JPG::Write(file, preview.GetWidth(), preview.GetHeight(), preview.GetNumChannel(),
                         preview.GetBitsPerPixel(), preview.GetImage(), PreviewQuality);
    length = file.Length();
    file.Close();
    return written && !file.Failed();
}

// Describes a stored resource in an item's group.
System::Resource::Feeds::MediaContent Content(int64_t fileSize, uint32_t width, uint32_t height) {
    System::Resource::Feeds::MediaContent content;
    content.mFileSize = static_cast<int32_t>(fileSize);
    content.mWidth = static_cast<int32_t>(width);
    content.mHeight = static_cast<int32_t>(height);
    return content;
}

}  // namespace

PhotoTask::PhotoTask(const MVC::Model::MediaTransferModel& upload)
    : MessageTask(nullptr, upload.mClientId),
      mMediaId(upload.mMediaId),
      mResourceId(upload.mResourceId),
      mMediaType(upload.mMediaType),
      mPhotoPath(upload.GetResourcePath(upload.mResourceId)),
      mPreviewPath(upload.GetResourcePath(MediaModel::Preview)),
      mPreviewWidth(MVC::Model::ZelvoRelayModel::Instance()->Configuration.MediaPreviewWidth),
      mPreviewHeight(MVC::Model::ZelvoRelayModel::Instance()->Configuration.MediaPreviewHeight) {}

PhotoTask::~PhotoTask() {
    if (mPreviewWritten) {
        (void)System::Utility::FileSystem().RemoveFile(mPreviewPath);
    }
}

void PhotoTask::MakePreview() {
    if (mMediaType != PhotoType) {
        mFailure = PhotoFailure::NotAPhoto;
        return;
    }
    // Decoding would be wasted: no preview can come of it.
    if (!Image::IsAllowedSize(mPreviewWidth, mPreviewHeight, 1)) {
        mFailure = PhotoFailure::PreviewSize;
        return;
    }
    // A stream of its own: the upload's stream is closed when its client leaves, which
    // may happen at any moment of this.
    System::IO::FileStream photo(mPhotoPath, 3);
    Image full;
    Format format = Format::None;
    mFailure =
        Decode(photo, mPreviewWidth, mPreviewHeight, full, format, mPhotoWidth, mPhotoHeight);
    photo.Close();
    if (mFailure != PhotoFailure::None) {
        return;
    }
    // Resizing a decoded photo to an allowed size fails only for want of memory.
    const Image preview =
        System::Resource::Filters::FilterResize().ApplyFilter(full, mPreviewWidth, mPreviewHeight);
    full.Release();
    if (preview.GetImage() == nullptr) {
        throw std::bad_alloc();
    }
    // An item whose preview failed to write would hand out a broken or empty preview.
    mPreviewWritten = WritePreview(mPreviewPath, format, preview, mPreviewLength);
    if (!mPreviewWritten) {
        mFailure = PhotoFailure::PreviewNotWritten;
        (void)System::Utility::FileSystem().RemoveFile(mPreviewPath);
    }
}

void PhotoTask::Fail(PhotoFailure failure) {
    mFailure = failure;
    // Memory may have run out while the preview was being written.
    (void)System::Utility::FileSystem().RemoveFile(mPreviewPath);
    mPreviewWritten = false;
}

void PhotoTask::Apply() {
    auto& uploads = MVC::Model::ZelvoRelayModel::Instance()->Uploads;
    bool made = false;
    bool failed = false;
    System::Threading::MonitorLock lock(uploads.mMonitor);
    MVC::Model::MediaTransferModel* upload = uploads.Find(SenderId, mMediaId, mResourceId);
    // An upload no longer there ended while its photo was made (its client left); its
    // preview goes with this task.
    if (upload != nullptr && mPreviewWritten) {
        // Element 0 has been there since the upload was accepted.
        auto& contents = upload->mMediaGroup.mContents;
        contents[0] = Content(static_cast<int64_t>(upload->mPosition), mPhotoWidth, mPhotoHeight);
        contents.Add(Content(mPreviewLength, mPreviewWidth, mPreviewHeight));
        mPreviewWritten = false;
        MVC::Events::NewMediaItemEvent complete(*upload);
        complete.Dispatch();
        made = true;
    } else if (upload != nullptr) {
        uploads.DiscardUpload(SenderId, mMediaId, mResourceId);
        failed = true;
    }
    lock.Unlock();
    auto& server = MVC::Model::ZelvoRelayModel::Instance()->Server;
    if (failed) {
        server.OnPhotoFailed.Raise(SenderId, mMediaId, mFailure);
    }
    if (made || failed) {
        server.OnUploadEnded.Raise(SenderId, mMediaId, made);
    }
}

}  // namespace ZelvoRelay::Threading
