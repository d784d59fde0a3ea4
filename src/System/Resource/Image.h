#pragma once

#include "System/Object.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace System::Resource {

// An owned raster: width x height pixels of bytes-per-pixel bytes each, row after row
// with nothing between rows. Rows are stored bottom-up: the first row in memory is the
// bottom row of the picture, as the JPEG and PNG codecs produce and take them; y below
// counts in storage order. Samples of more than one byte are big-endian, as PNG stores
// them. An empty image has no pixels and every number 0.
//
// Every size is computed in 64 bits, and an image is only made when it passes
// IsAllowedSize: an upload declares its own dimensions, and an unchecked product could
// wrap to a small buffer that decoding then overruns, or ask for gigabytes.
class Image : public Object {
  public:
    // The most pixels an image may have.
    static constexpr uint64_t kMaxPixels = 50'000'000;
    // The most bytes a pixel may have: four channels of four bytes.
    static constexpr uint32_t kMaxBytesPerPixel = 16;

    // True when an image of that many pixels of bytesPerPixel bytes may be made: both
    // dimensions at least 1, at most kMaxPixels pixels, 1 to kMaxBytesPerPixel bytes a
    // pixel. Decoders ask this before they allocate anything.
    [[nodiscard]] static bool IsAllowedSize(uint32_t width, uint32_t height,
                                            uint32_t bytesPerPixel);

    // Empty.
    Image() = default;
    // Deep copies; copying an empty image empties this one.
    Image(const Image& other);
    Image& operator=(const Image& other);
    // Takes the other's pixels and numbers, leaving it empty.
    Image(Image&& other) noexcept;
    Image& operator=(Image&& other) noexcept;
    ~Image() override = default;

    // Frees the pixels; the image is empty afterwards.
    void Release();
    // Replaces the image with width x height zeroed pixels of bitsPerPixel / 8 bytes;
    // the image is left empty when IsAllowedSize refuses the size.
    void Create(uint32_t width, uint32_t height, uint32_t channels, uint32_t bitsPerPixel);
    // The same, then a copy of the image's size in bytes from pixels, which the caller
    // keeps. A null pixels only empties the image.
    void Create(const unsigned char* pixels, uint32_t width, uint32_t height, uint32_t channels,
                uint32_t bitsPerPixel);
    // Adopts pixels, an array of new[] holding width x height x (bitsPerPixel / 8)
    // bytes, without copying; the image frees it. A size IsAllowedSize refuses frees
    // the array at once and leaves the image empty.
    void Copy(unsigned char* pixels, uint32_t width, uint32_t height, uint32_t channels,
              uint32_t bitsPerPixel);
    // Copies the block of source from (sourceX, sourceY) in storage order, width x
    // height pixels cut at the source's edges, so that its top row lands on row y
    // counted from the top of this picture, from column x. The span is cut at this
    // image's right edge; a block that would reach above the top copies nothing.
    // Nothing happens when this image is empty or the formats differ (bits per pixel
    // or channels).
    void Copy(const Image& source, uint32_t x, uint32_t y, uint32_t sourceX, uint32_t sourceY,
              uint32_t width, uint32_t height);
    // The same with the source's width and height.
    void Copy(const Image& source, uint32_t x, uint32_t y, uint32_t sourceX, uint32_t sourceY);
    // The same at 0, 0 from 0, 0.
    void Copy(const Image& source);

    // Converts the samples in place to channels 1, 3 or 4, for samples of one or two
    // bytes: grey fills the three colours, colour becomes the truncated mean of its
    // first three samples, an added fourth channel is opaque. Anything else (an empty
    // image, the same count, two channels, other sample sizes) changes nothing.
    void ConvertChannels(uint32_t channels);
    // Converts samples between one byte (v) and two (v / 255 x 65535, and back
    // v / 65535 x 255, truncated). Anything else changes nothing.
    void ConvertBitsPerPixel(uint32_t bitsPerPixel);

    // The pixels, still owned by the image; null when it is empty.
    unsigned char* GetImage() { return mPixels.get(); }
    const unsigned char* GetImage() const { return mPixels.get(); }
    uint32_t GetWidth() const { return mWidth; }
    uint32_t GetHeight() const { return mHeight; }
    uint32_t GetNumChannel() const { return mNumChannel; }
    uint32_t GetBitsPerPixel() const { return mBitsPerPixel; }
    uint32_t GetBytesPerPixel() const { return mBytesPerPixel; }
    // Width x height x bytes per pixel (it fits: see IsAllowedSize).
    uint32_t GetSize() const;
    // Width / height; 0.0 when the height is 0.
    double GetAspectRatio() const;

    // The first byte of pixel (x, y); null when the image is empty or the pixel is
    // outside it.
    unsigned char* GetPixel(uint32_t x, uint32_t y);
    const unsigned char* GetPixel(uint32_t x, uint32_t y) const;
    // The pixel at column u x width and row v x height, each truncated toward zero (so
    // -0.3 gives 0); null when either is negative or at or past the edge.
    unsigned char* GetPixel(double u, double v);
    // Copies bytes-per-pixel bytes of value into pixel (x, y); nothing when outside.
    void SetPixel(uint32_t x, uint32_t y, const unsigned char* value);
    // The same at the position GetPixel(u, v) maps to.
    void SetPixel(double u, double v, const unsigned char* value);
    // Copies bytes-per-pixel bytes of value into every pixel.
    void Clear(const unsigned char* value);

  private:
    // The byte offset of pixel (x, y). REQUIRES: x < width, y < height.
    size_t Offset(uint32_t x, uint32_t y) const {
        return (static_cast<size_t>(y) * mWidth + x) * mBytesPerPixel;
    }

    std::unique_ptr<unsigned char[]> mPixels;  // null exactly when the image is empty
    uint32_t mWidth{0};                        // pixels
    uint32_t mHeight{0};                       // pixels
    uint32_t mNumChannel{0};                   // samples per pixel
    uint32_t mBitsPerPixel{0};                 // over all channels
    uint32_t mBytesPerPixel{0};                // mBitsPerPixel / 8
};

}  // namespace System::Resource
