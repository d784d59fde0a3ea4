// Photos through the preview path: any bytes are decoded as a PNG or a JPEG or refused,
// the photo is resized to a preview and the preview is encoded in the photo's format;
// a PNG preview decodes back to exactly its pixels, a JPEG one to its size.
#include <cstring>

#include "System/Resource/Files/JPG.h"
#include "System/Resource/Files/PNG.h"
#include "System/Resource/Filters/FilterResize.h"
#include "System/Resource/Image.h"
#include "fuzz/Fuzz.h"

using System::IO::MemoryStream;
using System::Resource::Image;
using System::Resource::Files::JPG;
using System::Resource::Files::PNG;

namespace {

// Photos above this many pixels are skipped: they are legitimate, and decoding them
// would only slow the search down.
constexpr uint64_t kMaxPixels = 1 << 20;

bool IsSmall(uint32_t width, uint32_t height) {
    return uint64_t{width} * height <= kMaxPixels;
}

// Decodes the photo in stream into image; true for a PNG.
bool Decode(MemoryStream& stream, Image& image) {
    PNG::PngHeader png;
    if (PNG::GetHeader(stream, png)) {
        if (IsSmall(png.mWidth, png.mHeight)) {
            stream.Position(0);
            const uint32_t channels = PNG::ChannelCount(png.mColourType);
            image.Copy(PNG::Load(stream), png.mWidth, png.mHeight, channels,
                       png.mBitDepth * channels);
        }
        return true;
    }
    stream.Position(0);
    JPG::JpgHeader jpeg;
    if (JPG::GetHeader(stream, jpeg) && IsSmall(jpeg.mWidth, jpeg.mHeight)) {
        stream.Position(0);
        image.Copy(JPG::Load(stream), jpeg.mWidth, jpeg.mHeight, jpeg.mBitsPerPixel / 8u,
                   jpeg.mBitsPerPixel);
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    MemoryStream stream(const_cast<uint8_t*>(data), static_cast<int32_t>(size));
    Image photo;
    const bool png = Decode(stream, photo);
    if (photo.GetImage() == nullptr) {
        return 0;
    }
    // The preview size is the room's setting; the last two bytes stand for it.
    const Image preview = System::Resource::Filters::FilterResize().ApplyFilter(
        photo, 1 + data[size - 1] % 200, 1 + data[size - 2] % 200);
    FUZZ_CHECK(preview.GetImage() != nullptr);
    MemoryStream written;
    const bool encoded =
        png ? PNG::Write(written, preview.GetWidth(), preview.GetHeight(), preview.GetNumChannel(),
                         preview.GetBitsPerPixel(), preview.GetImage())
            : JPG::Write(written, preview.GetWidth(), preview.GetHeight(), preview.GetNumChannel(),
                         preview.GetBitsPerPixel(), preview.GetImage(), 80);
    FUZZ_CHECK(encoded);
    written.Position(0);
    Image again;
    FUZZ_CHECK(Decode(written, again) == png && again.GetWidth() == preview.GetWidth() &&
               again.GetHeight() == preview.GetHeight());
    FUZZ_CHECK(!png || std::memcmp(again.GetImage(), preview.GetImage(), preview.GetSize()) == 0);
    return 0;
}
