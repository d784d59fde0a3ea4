#pragma once

#include "System/IO/Stream.h"
#include "System/Object.h"

#include <cstdint>
#include <memory>

namespace System::Resource::Files {

// The system's own PNG reader and writer, over the zlib service and CRC-32. It reads
// non-interlaced grey, grey and alpha, RGB and RGBA images of 8 or 16 bits a sample
// (palettes, lower bit depths and interlacing count as undecodable), uses only IHDR,
// IDAT and IEND and does not verify CRCs; it writes one fixed shape of file. Pixel
// arrays have rows bottom-up, as Image keeps them, and samples as PNG stores them
// (two-byte samples big-endian). No state is shared between calls.
class PNG : public Object {
  public:
    // The eight bytes every PNG file starts with.
    static constexpr uint8_t mPngSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

    // The IHDR data, numbers in host order.
    struct PngHeader {
        uint32_t mWidth{0};
        uint32_t mHeight{0};
        uint8_t mBitDepth{0};
        uint8_t mColourType{0};
        uint8_t mCompressionMethod{0};
        uint8_t mFilterMethod{0};
        uint8_t mInterlaceMethod{0};
    };

    // One IDAT piece while a file is read. It does not own its bytes: Load frees them.
    class Zipstream : public Object {
      public:
        Zipstream() = default;
        Zipstream(unsigned char* data, uint32_t length) : mData(data), mLength(length) {}

        unsigned char* mData{nullptr};
        uint32_t mLength{0};
    };

    PNG() = delete;

    // Checks the signature and fills header from the IHDR chunk, whose values are not
    // checked here; false when the stream cannot be read, the signature differs, or no
    // IHDR comes before IEND or the end. The stream is left inside the IHDR chunk.
    static bool GetHeader(IO::Stream& stream, PngHeader& header);
    // Decodes the PNG at the stream's position into a new array of height x width x
    // bytes-per-pixel bytes, rows bottom-up, which the caller frees with delete[]; the
    // format follows from the header (ChannelCount, bit depth). Null for a file the
    // class does not read, a size Image refuses, a chunk running past the end of the
    // data, and image data that does not inflate to exactly the size the image needs.
    // Throws std::bad_alloc when memory for the image runs out.
    static unsigned char* Load(IO::Stream& stream);
    // Decodes as Load does, except that two-byte samples are cut to their high byte as
    // each row is inflated: the array has one byte a sample (channels x 8 bits a pixel),
    // and a 16-bit picture is never held whole at its full depth.
    static unsigned char* LoadEightBit(IO::Stream& stream);
    // Writes pixels (rows bottom-up, left as they are) as a PNG of one IDAT deflated
    // at level 9. True when written; nothing is written when the stream cannot be
    // written, pixels is null, the channel count is not 1 to 4, the samples are not 8
    // or 16 bits or Image refuses the size.
    static bool Write(IO::Stream& stream, uint32_t width, uint32_t height, uint32_t channels,
                      uint32_t bitsPerPixel, const unsigned char* pixels);

    // The samples per pixel of a colour type: 1 (type 0), 2 (4), 3 (2), 4 (6); 0 for
    // the others, palettes (3) among them.
    static uint32_t ChannelCount(uint8_t colourType);

    // The IDAT data for pixels: height rows of a filter type byte and the row's bytes,
    // top row first; the first row is filtered with Sub and the others with Paeth.
    static std::unique_ptr<unsigned char[]> FilterPNG(int width, int height, int channels,
                                                      int bitsPerPixel,
                                                      const unsigned char* pixels);
    // The pixel rows, bottom-up, of the IDAT data; null when a row's filter type is
    // above 4.
    static std::unique_ptr<unsigned char[]> UnfilterPNG(int width, int height, int channels,
                                                        int bitsPerPixel,
                                                        const unsigned char* data);

    // The Paeth predictor: of a, b and c the one nearest to a + b - c; ties go to a,
    // then b.
    static int PaethPredictor(int a, int b, int c);
    // The filtered byte x given its left (a), upper (b) and upper-left (c) neighbours,
    // modulo 256 (the writer uses only these two filters).
    static int FilterSub(int x, int a) { return (x - a) & 0xFF; }
    static int FilterPaeth(int x, int a, int b, int c) {
        return (x - PaethPredictor(a, b, c)) & 0xFF;
    }
    // The inverses: the original byte from filtered x and the original neighbours.
    static int UnfilterSub(int x, int a) { return (x + a) & 0xFF; }
    static int UnfilterUp(int x, int b) { return (x + b) & 0xFF; }
    static int UnfilterAverage(int x, int a, int b) { return (x + (a + b) / 2) & 0xFF; }
    static int UnfilterPaeth(int x, int a, int b, int c) {
        return (x + PaethPredictor(a, b, c)) & 0xFF;
    }
    // The byte order reversed: host little-endian to PNG's big-endian and back.
    static uint32_t ILendToBend(uint32_t value) {
        return (value >> 24) | ((value >> 8) & 0xFF00) | ((value << 8) & 0xFF0000) | (value << 24);
    }

  private:
    // Load, with two-byte samples cut to their high byte when highBytes is set.
    static unsigned char* Decode(IO::Stream& stream, bool highBytes);
};

}  // namespace System::Resource::Files
