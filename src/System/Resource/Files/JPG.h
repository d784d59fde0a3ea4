#pragma once

#include "System/IO/Stream.h"
#include "System/Object.h"

#include <cstdint>

namespace System::Resource::Files {

// JPEG (JFIF) reading and writing through libjpeg, moving the compressed bytes through
// a Stream in blocks of 16384 bytes. Pixel arrays have one byte a sample and rows
// bottom-up, as Image keeps them. A libjpeg error never ends the process: it fails
// the call, which frees what it allocated. No state is shared, so calls on different
// streams may run on different threads at once.
class JPG : public Object {
  public:
    // What GetHeader reports of a JPEG.
    struct JpgHeader {
        uint32_t mWidth{0};         // pixels
        uint32_t mHeight{0};        // pixels
        uint16_t mBitsPerPixel{0};  // 8 x the components in the file: 8, 24 or 32
    };

    JPG() = delete;

    // Reads the header at the stream's position into header; false (header untouched)
    // when there is no valid JPEG header. The stream is left up to one block past the
    // header: callers move it back before Load.
    static bool GetHeader(IO::Stream& stream, JpgHeader& header);
    // Decodes the JPEG at the stream's position into a new array of height x width x
    // channels bytes, rows bottom-up, which the caller frees with delete[]; the size is
    // the one GetHeader reports. Null when the data cannot be decoded, when it decodes
    // to other than 1 (grey) or 3 (RGB) channels (CMYK and YCCK files among them), when
    // Image refuses its size, which is checked before any pixel is allocated, and when it
    // has more than 256 scans or scans that together visit more blocks than 32 full scans
    // of a grey picture at that size limit (refused as the scan that would pass it starts).
    // Only Huffman-coded files decode: an arithmetic-coded one is refused after its header.
    // Throws std::bad_alloc when memory for the image or the decoder runs out.
    static unsigned char* Load(IO::Stream& stream);
    // Decodes as Load does, at the smallest of libjpeg's scales 1/8, 1/4, 1/2 and 1
    // whose size still covers coverWidth x coverHeight: a preview never needs more, and
    // a scaled decoding skips most of the work. decoded gets the size and bits per pixel
    // of the array returned. The limit on a picture's size holds for its full size.
    static unsigned char* Load(IO::Stream& stream, uint32_t coverWidth, uint32_t coverHeight,
                               JpgHeader& decoded);
    // Encodes width x height pixels of 1 (grey) or 3 (RGB) one-byte channels, rows
    // bottom-up, as a JPEG of the given quality (0 to 100) onto the stream; bitsPerPixel
    // is not used. True when the whole image was encoded; any other channel count or a
    // null pixels writes nothing, and libjpeg refusing the image (a size of 0) stops it.
    static bool Write(IO::Stream& stream, uint32_t width, uint32_t height, uint32_t channels,
                      uint32_t bitsPerPixel, const unsigned char* pixels, int quality);
};

}  // namespace System::Resource::Files
