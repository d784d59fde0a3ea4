#include "ZelvoRelay/MVC/Commands/NewMediaItemCommand.h"

#include <cstdint>

#include "System/IO/FileStream.h"
#include "System/Resource/Files/JPG.h"
#include "System/Resource/Files/PNG.h"
#include "System/Resource/Filters/FilterResize.h"
#include "System/Resource/Image.h"
#include "System/Utility/FileSystem.h"
#include "ZelvoRelay/MVC/Events/NewMediaItemEvent.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

namespace ZelvoRelay::MVC::Commands {

namespace {

using System::Resource::Image;
using System::Resource::Files::JPG;
using System::Resource::Files::PNG;

// A photo's format, by its first bytes and a header its codec accepts.
enum class Format { None, Png, Jpeg };

// The quality of JPEG previews.
constexpr int PreviewQuality = 80;

// Decodes the photo in stream into image; the photo's format, or None (image left empty)
// when it is no PNG or JPEG, or does not decode.
Format Decode(System::IO::Stream& stream, Image& image) {
    unsigned char magic[4] = {};
    stream.Position(0);
    const int read = stream.Read(magic, 0, sizeof magic);
    stream.Position(0);
    // A shorter file would be judged by bytes it does not hold.
    if (read < static_cast<int>(sizeof magic)) {
        return Format::None;
    }
    if (magic[0] == 0x89 && magic[1] == 'P' && magic[2] == 'N' && magic[3] == 'G') {
        PNG::PngHeader header;
        if (PNG::GetHeader(stream, header)) {
            stream.Position(0);
            const uint32_t channels = PNG::ChannelCount(header.mColourType);
            image.Copy(PNG::Load(stream), header.mWidth, header.mHeight, channels,
                       header.mBitDepth * channels);
            return image.GetImage() != nullptr ? Format::Png : Format::None;
        }
    } else if (magic[0] == 0xFF && magic[1] == 0xD8) {
        JPG::JpgHeader header;
        if (JPG::GetHeader(stream, header)) {
            stream.Position(0);
            image.Copy(JPG::Load(stream), header.mWidth, header.mHeight, header.mBitsPerPixel / 8u,
                       header.mBitsPerPixel);
            return image.GetImage() != nullptr ? Format::Jpeg : Format::None;
        }
    }
    return Format::None;
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

// Describes a stored resource in the item's group.
System::Resource::Feeds::MediaContent Content(int64_t fileSize, uint32_t width, uint32_t height) {
    System::Resource::Feeds::MediaContent content;
    content.mFileSize = static_cast<int32_t>(fileSize);
    content.mWidth = static_cast<int32_t>(width);
    content.mHeight = static_cast<int32_t>(height);
    return content;
}

// Makes the preview of the photo in the upload's stream, completes the item's two content
// elements and writes the preview file; false, with no preview file left, when the upload
// cannot become an item.
bool MakeItem(Model::MediaTransferModel& item, const Model::ConfigurationModel& configuration) {
    if (item.mMediaType != 1) {
        return false;
    }
    Image full;
    const Format format = Decode(*item.mStream, full);
    if (format == Format::None) {
        return false;
    }
    // A preview size of 0 leaves the preview empty, which makes no item either.
    const Image preview = System::Resource::Filters::FilterResize().ApplyFilter(
        full, configuration.MediaPreviewWidth, configuration.MediaPreviewHeight);
    if (preview.GetImage() == nullptr) {
        return false;
    }
    const System::String previewPath = item.GetResourcePath(Model::MediaModel::Preview);
    int64_t previewLength = 0;
    // An item whose preview failed to write would hand out a broken or empty preview.
    if (!WritePreview(previewPath, format, preview, previewLength)) {
        (void)System::Utility::FileSystem().RemoveFile(previewPath);
        return false;
    }
    // Element 0 has been there since the upload was accepted.
    auto& contents = item.mMediaGroup.mContents;
    contents[0] = Content(item.mStream->Length(), full.GetWidth(), full.GetHeight());
    contents.Add(Content(previewLength, preview.GetWidth(), preview.GetHeight()));
    return true;
}

}  // namespace

void NewMediaItemCommand::Execute(System::MVC::EventDispatcher* event) {
    Model::MediaTransferModel& upload = static_cast<Events::NewMediaItemEvent*>(event)->mTransfer;
    Model::ZelvoRelayModel* model = Model::ZelvoRelayModel::Instance();
    if (MakeItem(upload, model->Configuration)) {
        model->Media.mMonitor.Enter();
        model->Media.Add(static_cast<const Model::MediaModel&>(upload));
        model->Media.mMonitor.Exit();
        model->Uploads.RemoveMedia(upload.mClientId, upload.mMediaId, upload.mResourceId);
    } else {
        model->Uploads.DiscardUpload(upload.mClientId, upload.mMediaId, upload.mResourceId);
    }
}

}  // namespace ZelvoRelay::MVC::Commands
