#include "System/Resource/Image.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>

namespace System::Resource {

namespace {

// A sample of one byte, or of two big-endian bytes.
uint32_t ReadSample(const unsigned char* at, uint32_t bytes) {
    return bytes == 1 ? at[0] : (static_cast<uint32_t>(at[0]) << 8) | at[1];
}

void WriteSample(unsigned char* at, uint32_t bytes, uint32_t value) {
    if (bytes == 1) {
        at[0] = static_cast<unsigned char>(value);
    } else {
        at[0] = static_cast<unsigned char>(value >> 8);
        at[1] = static_cast<unsigned char>(value);
    }
}

// The column or row that position (u or v) x extent truncates to; false when it lies
// outside 0 to extent - 1 (NaN included).
bool MapCoordinate(double position, uint32_t extent, uint32_t& result) {
    const double mapped = std::trunc(position * extent);
    if (!(mapped >= 0.0 && mapped < extent)) {
        return false;
    }
    result = static_cast<uint32_t>(mapped);
    return true;
}

}  // namespace

bool Image::IsAllowedSize(uint32_t width, uint32_t height, uint32_t bytesPerPixel) {
    return width > 0 && height > 0 && bytesPerPixel > 0 && bytesPerPixel <= kMaxBytesPerPixel &&
           static_cast<uint64_t>(width) * height <= kMaxPixels;
}

Image::Image(const Image& other) {
    *this = other;
}

Image& Image::operator=(const Image& other) {
    if (this != &other) {
        Create(other.GetImage(), other.mWidth, other.mHeight, other.mNumChannel,
               other.mBitsPerPixel);
    }
    return *this;
}

Image::Image(Image&& other) noexcept {
    *this = std::move(other);
}

Image& Image::operator=(Image&& other) noexcept {
    if (this != &other) {
        mPixels = std::move(other.mPixels);
        mWidth = std::exchange(other.mWidth, 0);
        mHeight = std::exchange(other.mHeight, 0);
        mNumChannel = std::exchange(other.mNumChannel, 0);
        mBitsPerPixel = std::exchange(other.mBitsPerPixel, 0);
        mBytesPerPixel = std::exchange(other.mBytesPerPixel, 0);
    }
    return *this;
}

void Image::Release() {
    mPixels.reset();
    mWidth = 0;
    mHeight = 0;
    mNumChannel = 0;
    mBitsPerPixel = 0;
    mBytesPerPixel = 0;
}

void Image::Create(uint32_t width, uint32_t height, uint32_t channels, uint32_t bitsPerPixel) {
    Release();
    if (!IsAllowedSize(width, height, bitsPerPixel / 8)) {
        return;
    }
    const size_t size = static_cast<size_t>(width) * height * (bitsPerPixel / 8);
    mPixels.reset(new (std::nothrow) unsigned char[size]());
    if (mPixels == nullptr) {
        return;
    }
    mWidth = width;
    mHeight = height;
    mNumChannel = channels;
    mBitsPerPixel = bitsPerPixel;
    mBytesPerPixel = bitsPerPixel / 8;
}

void Image::Create(const unsigned char* pixels, uint32_t width, uint32_t height, uint32_t channels,
                   uint32_t bitsPerPixel) {
    if (pixels == nullptr) {
        Release();
        return;
    }
    // Kept until the copy is made, in case pixels lie in this image's own array.
    const std::unique_ptr<unsigned char[]> previous = std::move(mPixels);
    Create(width, height, channels, bitsPerPixel);
    if (mPixels != nullptr) {
        std::memcpy(mPixels.get(), pixels, GetSize());
    }
}

void Image::Copy(unsigned char* pixels, uint32_t width, uint32_t height, uint32_t channels,
                 uint32_t bitsPerPixel) {
    if (pixels == GetImage()) {
        // Adopting its own array again must not free it.
        static_cast<void>(mPixels.release());
    }
    Release();
    if (pixels == nullptr || !IsAllowedSize(width, height, bitsPerPixel / 8)) {
        delete[] pixels;
        return;
    }
    mPixels.reset(pixels);
    mWidth = width;
    mHeight = height;
    mNumChannel = channels;
    mBitsPerPixel = bitsPerPixel;
    mBytesPerPixel = bitsPerPixel / 8;
}

void Image::Copy(const Image& source, uint32_t x, uint32_t y, uint32_t sourceX, uint32_t sourceY,
                 uint32_t width, uint32_t height) {
    // With equal bits per pixel, a source of another channel count has samples of
    // another size, which no channel conversion could make match.
    if (mPixels == nullptr || source.mPixels == nullptr || source.mBitsPerPixel != mBitsPerPixel ||
        source.mNumChannel != mNumChannel || sourceX >= source.mWidth ||
        sourceY >= source.mHeight || x >= mWidth) {
        return;
    }
    const uint64_t rows = std::min<uint64_t>(height, source.mHeight - sourceY);
    const uint64_t columns = std::min<uint64_t>(
        {width, static_cast<uint64_t>(source.mWidth - sourceX), static_cast<uint64_t>(mWidth - x)});
    const int64_t firstRow = static_cast<int64_t>(mHeight) - y - static_cast<int64_t>(rows);
    if (firstRow < 0) {
        return;
    }
    for (uint64_t row = 0; row < rows; ++row) {
        // memmove: the source may be this very image.
        std::memmove(GetPixel(x, static_cast<uint32_t>(firstRow + row)),
                     source.GetPixel(sourceX, static_cast<uint32_t>(sourceY + row)),
                     columns * mBytesPerPixel);
    }
}

void Image::Copy(const Image& source, uint32_t x, uint32_t y, uint32_t sourceX, uint32_t sourceY) {
    Copy(source, x, y, sourceX, sourceY, source.mWidth, source.mHeight);
}

void Image::Copy(const Image& source) {
    Copy(source, 0, 0, 0, 0);
}

void Image::ConvertChannels(uint32_t channels) {
    const auto supported = [](uint32_t n) { return n == 1 || n == 3 || n == 4; };
    if (mPixels == nullptr || channels == mNumChannel || !supported(channels) ||
        !supported(mNumChannel)) {
        return;
    }
    const uint32_t bytes = mBytesPerPixel / mNumChannel;
    if ((bytes != 1 && bytes != 2) || bytes * mNumChannel != mBytesPerPixel) {
        return;
    }
    const uint32_t full = bytes == 1 ? 0xFF : 0xFFFF;
    const size_t pixelCount = static_cast<size_t>(mWidth) * mHeight;
    std::unique_ptr<unsigned char[]> converted(
        new (std::nothrow) unsigned char[pixelCount * channels * bytes]);
    if (converted == nullptr) {
        return;
    }
    for (size_t i = 0; i < pixelCount; ++i) {
        const unsigned char* from = mPixels.get() + i * mBytesPerPixel;
        unsigned char* to = converted.get() + i * channels * bytes;
        uint32_t samples[4];
        if (mNumChannel == 1) {
            samples[0] = samples[1] = samples[2] = ReadSample(from, bytes);
            samples[3] = full;
        } else {
            for (uint32_t c = 0; c < 3; ++c) {
                samples[c] = ReadSample(from + c * bytes, bytes);
            }
            samples[3] = mNumChannel == 4 ? ReadSample(from + 3 * bytes, bytes) : full;
        }
        if (channels == 1) {
            WriteSample(to, bytes, (samples[0] + samples[1] + samples[2]) / 3);
            continue;
        }
        for (uint32_t c = 0; c < channels; ++c) {
            WriteSample(to + c * bytes, bytes, samples[c]);
        }
    }
    mPixels = std::move(converted);
    mNumChannel = channels;
    mBytesPerPixel = channels * bytes;
    mBitsPerPixel = 8 * mBytesPerPixel;
}

void Image::ConvertBitsPerPixel(uint32_t bitsPerPixel) {
    if (mPixels == nullptr || bitsPerPixel == mBitsPerPixel || mNumChannel == 0) {
        return;
    }
    const uint32_t from = mBytesPerPixel / mNumChannel;
    const uint32_t to = bitsPerPixel / 8 / mNumChannel;
    if (from * mNumChannel != mBytesPerPixel || to * mNumChannel * 8 != bitsPerPixel ||
        from + to != 3) {
        // Only one byte to two and back: four-byte samples have no settled meaning.
        return;
    }
    const size_t samples = static_cast<size_t>(mWidth) * mHeight * mNumChannel;
    std::unique_ptr<unsigned char[]> converted(new (std::nothrow) unsigned char[samples * to]);
    if (converted == nullptr) {
        return;
    }
    for (size_t i = 0; i < samples; ++i) {
        const uint32_t value = ReadSample(mPixels.get() + i * from, from);
        // v / 255 x 65535 and v / 65535 x 255 in integers, which are exact where the
        // quotients in floating point are not.
        WriteSample(converted.get() + i * to, to,
                    to == 2 ? value * 65535 / 255 : value * 255 / 65535);
    }
    mPixels = std::move(converted);
    mBitsPerPixel = bitsPerPixel;
    mBytesPerPixel = bitsPerPixel / 8;
}

uint32_t Image::GetSize() const {
    return static_cast<uint32_t>(static_cast<size_t>(mWidth) * mHeight * mBytesPerPixel);
}

double Image::GetAspectRatio() const {
    return mHeight == 0 ? 0.0 : static_cast<double>(mWidth) / mHeight;
}

unsigned char* Image::GetPixel(uint32_t x, uint32_t y) {
    return const_cast<unsigned char*>(std::as_const(*this).GetPixel(x, y));
}

const unsigned char* Image::GetPixel(uint32_t x, uint32_t y) const {
    if (mPixels == nullptr || x >= mWidth || y >= mHeight) {
        return nullptr;
    }
    return mPixels.get() + Offset(x, y);
}

unsigned char* Image::GetPixel(double u, double v) {
    uint32_t x = 0;
    uint32_t y = 0;
    return MapCoordinate(u, mWidth, x) && MapCoordinate(v, mHeight, y) ? GetPixel(x, y) : nullptr;
}

void Image::SetPixel(uint32_t x, uint32_t y, const unsigned char* value) {
    unsigned char* pixel = GetPixel(x, y);
    if (pixel != nullptr) {
        std::memmove(pixel, value, mBytesPerPixel);
    }
}

void Image::SetPixel(double u, double v, const unsigned char* value) {
    uint32_t x = 0;
    uint32_t y = 0;
    if (MapCoordinate(u, mWidth, x) && MapCoordinate(v, mHeight, y)) {
        SetPixel(x, y, value);
    }
}

void Image::Clear(const unsigned char* value) {
    if (mPixels == nullptr) {
        return;
    }
    // A copy, as value may be one of the pixels being overwritten.
    unsigned char pixel[kMaxBytesPerPixel];
    std::memcpy(pixel, value, mBytesPerPixel);
    const size_t size = GetSize();
    for (size_t at = 0; at < size; at += mBytesPerPixel) {
        std::memcpy(mPixels.get() + at, pixel, mBytesPerPixel);
    }
}

}  // namespace System::Resource
