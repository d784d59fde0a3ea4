// Photos through the relay's preview path: each input is the file of a complete upload,
// which the photo task decodes (PNG or JPEG) and turns into a preview at the room's
// preview size. A preview written must decode to that size in the photo's format, and a
// PNG's 8-bit decoding must equal its full decoding cut to the high byte of each sample.
#include <memory>

#include "System/IO/FileStream.h"
#include "System/Resource/Files/JPG.h"
#include "System/Resource/Files/PNG.h"
#include "System/Resource/Image.h"
#include "ZelvoRelay/MVC/Model/MediaTransferModel.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Threading/PhotoTask.h"
#include "fuzz/Fuzz.h"

using System::IO::MemoryStream;
using System::Resource::Files::JPG;
using System::Resource::Files::PNG;

namespace {

// Photos above this many pixels are skipped: they are legitimate, and decoding them
// would only slow the search down.
constexpr uint64_t kMaxPixels = 1 << 20;

// The size the header of the photo in stream gives; false for neither PNG nor JPEG.
bool GetSize(MemoryStream& stream, uint32_t& width, uint32_t& height, bool& png) {
    PNG::PngHeader pngHeader;
    JPG::JpgHeader jpgHeader;
    stream.Position(0);
    png = PNG::GetHeader(stream, pngHeader);
    stream.Position(0);
    if (!png && !JPG::GetHeader(stream, jpgHeader)) {
        return false;
    }
    width = png ? pngHeader.mWidth : jpgHeader.mWidth;
    height = png ? pngHeader.mHeight : jpgHeader.mHeight;
    stream.Position(0);
    return true;
}

// Checks that both PNG decodings agree, sample by sample.
void CheckEightBit(MemoryStream& stream, uint32_t width, uint32_t height) {
    const std::unique_ptr<unsigned char[]> full(PNG::Load(stream));
    stream.Position(0);
    const std::unique_ptr<unsigned char[]> eight(PNG::LoadEightBit(stream));
    FUZZ_CHECK((full == nullptr) == (eight == nullptr));
    PNG::PngHeader header;
    stream.Position(0);
    if (full == nullptr || !PNG::GetHeader(stream, header)) {
        return;
    }
    const uint64_t samples = uint64_t{width} * height * PNG::ChannelCount(header.mColourType);
    const uint32_t step = header.mBitDepth / 8;
    for (uint64_t i = 0; i < samples; ++i) {
        FUZZ_CHECK(eight[i] == full[i * step]);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryStream photo(const_cast<uint8_t*>(data), static_cast<int32_t>(size));
    uint32_t width = 0;
    uint32_t height = 0;
    bool png = false;
    if (size < 2 || !GetSize(photo, width, height, png) || uint64_t{width} * height > kMaxPixels) {
        return 0;
    }
    if (png) {
        CheckEightBit(photo, width, height);
    }
    auto* model = ZelvoRelay::MVC::Model::ZelvoRelayModel::Instance();
    static const std::string media = Fuzz::ScratchPath("");
    model->Configuration.MediaPath = media.c_str();
    // The preview size is the room's setting; the last two bytes stand for it.
    model->Configuration.MediaPreviewWidth = 1 + data[size - 1] % 200;
    model->Configuration.MediaPreviewHeight = 1 + data[size - 2] % 200;
    ZelvoRelay::MVC::Model::MediaTransferModel upload;
    upload.mMediaId = 1;
    upload.mMediaType = 1;
    const System::String path = upload.GetResourcePath(0);
    Fuzz::WriteFile(path.CStr(), data, size);

    ZelvoRelay::Threading::PhotoTask task(upload);
    task.MakePreview();
    System::IO::FileStream file(upload.GetResourcePath(1), 3);
    if (!file.CanRead()) {
        return 0;
    }
    MemoryStream preview(static_cast<int32_t>(file.Length()));
    FUZZ_CHECK(file.Read(preview.GetBuffer(), 0, static_cast<int>(file.Length())) == file.Length());
    bool previewPng = false;
    FUZZ_CHECK(GetSize(preview, width, height, previewPng) && previewPng == png &&
               width == model->Configuration.MediaPreviewWidth &&
               height == model->Configuration.MediaPreviewHeight);
    const std::unique_ptr<unsigned char[]> pixels(png ? PNG::Load(preview) : JPG::Load(preview));
    FUZZ_CHECK(pixels != nullptr);
    return 0;
}
