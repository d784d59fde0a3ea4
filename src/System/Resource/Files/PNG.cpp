#include "System/Resource/Files/PNG.h"

#include "System/Collections/Vector.h"
#include "System/Crypto/CRC.h"
#include "System/Crypto/StreamInput.h"
#include "System/Resource/Image.h"
#include "System/Utility/Zip.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <new>

// Every size taken from a file is checked before it is used: chunk lengths against the
// bytes that are left (a declared length is otherwise an allocation of up to 4 GiB),
// dimensions against Image::IsAllowedSize, and the inflated data against the exact
// size the image needs (a short inflate would hand out uninitialised heap bytes as
// pixels). What the reader cannot decode correctly (interlacing, palettes, depths
// below 8, filter types above 4) is refused rather than turned into noise.
namespace System::Resource::Files {

namespace {

// PNG's limit on a chunk length.
constexpr uint32_t kMaxChunkLength = 0x7FFFFFFF;
constexpr int kIhdrLength = 13;
constexpr int kDeflateLevel = 9;
constexpr uint8_t kFilterSub = 1;
constexpr uint8_t kFilterPaeth = 4;

// A chunk's length and type; the stream stands at its data.
struct ChunkHead {
    uint32_t mLength{0};
    char mType[4]{};
};

enum class Next { Chunk, End, Damaged };

uint32_t ReadBigEndian(const uint8_t* bytes) {
    uint32_t value;
    std::memcpy(&value, bytes, sizeof(value));
    return PNG::ILendToBend(value);
}

void WriteBigEndian(uint8_t* bytes, uint32_t value) {
    value = PNG::ILendToBend(value);
    std::memcpy(bytes, &value, sizeof(value));
}

// The type's letters, matched without regard to case or exactly.
bool IsType(const ChunkHead& head, const char* type, bool anyCase) {
    for (int i = 0; i < 4; ++i) {
        const auto letter = static_cast<unsigned char>(head.mType[i]);
        const auto wanted = static_cast<unsigned char>(type[i]);
        if (anyCase ? std::toupper(letter) != wanted : letter != wanted) {
            return false;
        }
    }
    return true;
}

bool ReadSignature(IO::Stream& stream) {
    uint8_t signature[8];
    return stream.CanRead() && Crypto::ReadFull(stream, signature, 8) == 8 &&
           std::memcmp(signature, PNG::mPngSignature, 8) == 0;
}

// Reads the next chunk's head. End at the end of the stream; Damaged when the head is
// cut short or its length is above PNG's limit or runs past the end of the data.
Next ReadChunkHead(IO::Stream& stream, ChunkHead& head) {
    if (stream.Position() >= stream.Length()) {
        return Next::End;
    }
    uint8_t bytes[8];
    if (Crypto::ReadFull(stream, bytes, 8) != 8) {
        return Next::Damaged;
    }
    head.mLength = ReadBigEndian(bytes);
    std::memcpy(head.mType, bytes + 4, 4);
    if (head.mLength > kMaxChunkLength || head.mLength > stream.Length() - stream.Position()) {
        return Next::Damaged;
    }
    return Next::Chunk;
}

// Moves past the rest of a chunk: count data bytes and the CRC, which is not checked.
void SkipChunk(IO::Stream& stream, uint32_t count) {
    stream.Seek(static_cast<int64_t>(count) + 4, 1);
}

// Reads IHDR data into header; false unless the chunk is exactly 13 bytes.
bool ReadHeaderData(IO::Stream& stream, const ChunkHead& head, PNG::PngHeader& header) {
    uint8_t data[kIhdrLength];
    if (head.mLength != kIhdrLength || Crypto::ReadFull(stream, data, kIhdrLength) != kIhdrLength) {
        return false;
    }
    header.mWidth = ReadBigEndian(data);
    header.mHeight = ReadBigEndian(data + 4);
    header.mBitDepth = data[8];
    header.mColourType = data[9];
    header.mCompressionMethod = data[10];
    header.mFilterMethod = data[11];
    header.mInterlaceMethod = data[12];
    return true;
}

// new[] of count bytes, throwing std::bad_alloc when memory runs out. The failure is
// thrown here rather than by new: a sanitizer's operator new ends the process instead.
unsigned char* NewBytes(size_t count) {
    auto* bytes = new (std::nothrow) unsigned char[count];
    if (bytes == nullptr) {
        throw std::bad_alloc();
    }
    return bytes;
}

// The bytes per pixel of a header Load can decode, else 0.
uint32_t DecodableBytesPerPixel(const PNG::PngHeader& header) {
    const uint32_t bytes = PNG::ChannelCount(header.mColourType) * (header.mBitDepth / 8);
    const bool decodable = (header.mBitDepth == 8 || header.mBitDepth == 16) &&
                           header.mCompressionMethod == 0 && header.mFilterMethod == 0 &&
                           header.mInterlaceMethod == 0 &&
                           Image::IsAllowedSize(header.mWidth, header.mHeight, bytes);
    return decodable ? bytes : 0;
}

// The IDAT pieces of one Load in file order; their bytes are freed however the load
// ends.
class IdatPieces {
  public:
    IdatPieces() = default;
    ~IdatPieces() {
        for (uint32_t i = 0; i < mPieces.Count(); ++i) {
            delete[] mPieces[i].mData;
        }
    }
    IdatPieces(const IdatPieces&) = delete;
    IdatPieces& operator=(const IdatPieces&) = delete;

    // Reads a piece of length bytes from the stream; false when it cannot.
    bool Read(IO::Stream& stream, uint32_t length) {
        if (length == 0) {
            return true;
        }
        auto* data = NewBytes(length);
        mPieces.Add(PNG::Zipstream(data, length));
        mTotal += length;
        return Crypto::ReadFull(stream, data, length) == length;
    }

    uint64_t Total() const { return mTotal; }
    const Collections::Vector<PNG::Zipstream>& Pieces() const { return mPieces; }

  private:
    Collections::Vector<PNG::Zipstream> mPieces;
    uint64_t mTotal{0};  // bytes in all pieces
};

// The three neighbours the filters use for byte i of a row: left (a), above (b) and
// above-left (c), each 0 outside the image; above is null for the top row.
struct Neighbours {
    int a;
    int b;
    int c;
};

Neighbours NeighboursOf(const unsigned char* row, const unsigned char* above, size_t i,
                        size_t step) {
    const bool left = i >= step;
    return {left ? row[i - step] : 0, above != nullptr ? above[i] : 0,
            above != nullptr && left ? above[i - step] : 0};
}

// Rebuilds a row of rowBytes bytes filtered with type from in into row, given the
// rebuilt row above it (null for the top row); false for a filter type above 4. One
// loop per type: a large photo has hundreds of millions of bytes to rebuild.
bool UnfilterRow(uint8_t type, const unsigned char* in, unsigned char* row,
                 const unsigned char* above, size_t rowBytes, size_t step) {
    if (type > kFilterPaeth) {
        return false;
    }
    // Neighbours outside the image count as 0: the first pixel has no left one, the top
    // row none above.
    const size_t first = std::min(step, rowBytes);
    if (above == nullptr && (type == 2 || type == 3 || type == 4)) {
        // With nothing above, Up is None, Average halves the left byte, Paeth is Sub.
        for (size_t i = 0; i < rowBytes; ++i) {
            const int a = i >= step ? row[i - step] : 0;
            row[i] = static_cast<unsigned char>(type == 2   ? in[i]
                                                : type == 3 ? PNG::UnfilterAverage(in[i], a, 0)
                                                            : PNG::UnfilterSub(in[i], a));
        }
        return true;
    }
    switch (type) {
        case 0:
            std::memcpy(row, in, rowBytes);
            break;
        case 1:
            std::memcpy(row, in, first);
            for (size_t i = step; i < rowBytes; ++i) {
                row[i] = static_cast<unsigned char>(PNG::UnfilterSub(in[i], row[i - step]));
            }
            break;
        case 2:
            for (size_t i = 0; i < rowBytes; ++i) {
                row[i] = static_cast<unsigned char>(PNG::UnfilterUp(in[i], above[i]));
            }
            break;
        case 3:
            for (size_t i = 0; i < first; ++i) {
                row[i] = static_cast<unsigned char>(PNG::UnfilterAverage(in[i], 0, above[i]));
            }
            for (size_t i = step; i < rowBytes; ++i) {
                row[i] = static_cast<unsigned char>(
                    PNG::UnfilterAverage(in[i], row[i - step], above[i]));
            }
            break;
        default:
            for (size_t i = 0; i < first; ++i) {
                row[i] = static_cast<unsigned char>(PNG::UnfilterPaeth(in[i], 0, above[i], 0));
            }
            for (size_t i = step; i < rowBytes; ++i) {
                row[i] = static_cast<unsigned char>(
                    PNG::UnfilterPaeth(in[i], row[i - step], above[i], above[i - step]));
            }
            break;
    }
    return true;
}

// Inflates the image data a row at a time, rebuilds each row against the one above and
// stores it at its bottom-up place in pixels, cut to the high byte of each two-byte
// sample when highBytes is set. Only three rows of the file's samples are held at any
// time. False when the data is damaged, does not inflate to every row or holds a
// filter type above 4.
bool InflateRows(const IdatPieces& pieces, const PNG::PngHeader& header, uint32_t bytesPerPixel,
                 bool highBytes, unsigned char* pixels) {
    const size_t rowBytes = static_cast<size_t>(header.mWidth) * bytesPerPixel;
    const size_t lineBytes = 1 + rowBytes;
    const bool cut = highBytes && header.mBitDepth == 16;
    const size_t outBytes = cut ? rowBytes / 2 : rowBytes;
    // The line being inflated (its filter type, then its bytes), and two rebuilt rows:
    // the current one and the one above it.
    std::unique_ptr<unsigned char[]> buffers(NewBytes(3 * lineBytes));
    z_stream inflater{};
    if (inflateInit(&inflater) != Z_OK) {
        return false;
    }
    unsigned char* line = buffers.get();
    unsigned char* const rebuilt[2] = {line + lineBytes, line + 2 * lineBytes};
    const Collections::Vector<PNG::Zipstream>& input = pieces.Pieces();
    uint32_t next = 0;
    size_t filled = 0;
    uint32_t rows = 0;
    bool intact = true;
    while (intact && rows < header.mHeight) {
        if (inflater.avail_in == 0 && next < input.Count()) {
            inflater.next_in = input[next].mData;
            inflater.avail_in = input[next].mLength;
            ++next;
        }
        inflater.next_out = line + filled;
        inflater.avail_out = static_cast<uInt>(lineBytes - filled);
        const int status = inflate(&inflater, Z_NO_FLUSH);
        filled = lineBytes - inflater.avail_out;
        if (filled == lineBytes) {
            unsigned char* row = rebuilt[rows % 2];
            const unsigned char* above = rows == 0 ? nullptr : rebuilt[(rows + 1) % 2];
            intact = UnfilterRow(line[0], line + 1, row, above, rowBytes, bytesPerPixel);
            unsigned char* out = pixels + (header.mHeight - 1 - rows) * outBytes;
            if (!cut) {
                std::memcpy(out, row, outBytes);
            }
            for (size_t i = 0; cut && i < outBytes; ++i) {
                out[i] = row[2 * i];
            }
            filled = 0;
            ++rows;
        }
        if (status == Z_STREAM_END) {
            break;
        }
        // Z_BUF_ERROR: the data ran out before the last row.
        intact = intact && status == Z_OK;
    }
    inflateEnd(&inflater);
    return intact && rows == header.mHeight;
}

void WriteChunk(IO::Stream& stream, const char* type, const unsigned char* data, uint32_t length) {
    static const Crypto::CRC crc(0xEDB88320);
    uint8_t head[8];
    WriteBigEndian(head, length);
    std::memcpy(head + 4, type, 4);
    uint8_t check[4];
    WriteBigEndian(check, crc.GetCRC(data, length, crc.GetCRC(head + 4, 4, 0)));
    stream.Write(head, 0, 8);
    if (length > 0) {
        stream.Write(data, 0, static_cast<int>(length));
    }
    stream.Write(check, 0, 4);
}

}  // namespace

uint32_t PNG::ChannelCount(uint8_t colourType) {
    switch (colourType) {
        case 0:
            return 1;
        case 4:
            return 2;
        case 2:
            return 3;
        case 6:
            return 4;
        default:
            return 0;
    }
}

bool PNG::GetHeader(IO::Stream& stream, PngHeader& header) {
    if (!ReadSignature(stream)) {
        return false;
    }
    ChunkHead head;
    while (ReadChunkHead(stream, head) == Next::Chunk && !IsType(head, "IEND", false)) {
        if (IsType(head, "IHDR", true)) {
            return ReadHeaderData(stream, head, header);
        }
        SkipChunk(stream, head.mLength);
    }
    return false;
}

unsigned char* PNG::Load(IO::Stream& stream) {
    return Decode(stream, false);
}

unsigned char* PNG::LoadEightBit(IO::Stream& stream) {
    return Decode(stream, true);
}

unsigned char* PNG::Decode(IO::Stream& stream, bool highBytes) {
    if (!ReadSignature(stream)) {
        return nullptr;
    }
    PngHeader header;
    uint32_t bytesPerPixel = 0;
    IdatPieces pieces;
    for (;;) {
        ChunkHead head;
        const Next next = ReadChunkHead(stream, head);
        if (next == Next::End) {
            break;
        }
        if (next == Next::Damaged) {
            return nullptr;
        }
        if (IsType(head, "IHDR", true)) {
            // A second header would change the size of what the first one described.
            if (bytesPerPixel != 0 || !ReadHeaderData(stream, head, header)) {
                return nullptr;
            }
            bytesPerPixel = DecodableBytesPerPixel(header);
            if (bytesPerPixel == 0) {
                return nullptr;
            }
            SkipChunk(stream, 0);
        } else if (IsType(head, "IDAT", true)) {
            if (!pieces.Read(stream, head.mLength)) {
                return nullptr;
            }
            SkipChunk(stream, 0);
        } else {
            SkipChunk(stream, head.mLength);
        }
        if (IsType(head, "IEND", false)) {
            break;
        }
    }
    if (bytesPerPixel == 0 || pieces.Total() == 0) {
        return nullptr;
    }
    const uint32_t kept = highBytes && header.mBitDepth == 16 ? bytesPerPixel / 2 : bytesPerPixel;
    std::unique_ptr<unsigned char[]> pixels(
        NewBytes(static_cast<size_t>(header.mWidth) * header.mHeight * kept));
    if (!InflateRows(pieces, header, bytesPerPixel, highBytes, pixels.get())) {
        return nullptr;
    }
    return pixels.release();
}

bool PNG::Write(IO::Stream& stream, uint32_t width, uint32_t height, uint32_t channels,
                uint32_t bitsPerPixel, const unsigned char* pixels) {
    const uint32_t depth = channels == 0 ? 0 : bitsPerPixel / channels;
    if (!stream.CanWrite() || pixels == nullptr || channels < 1 || channels > 4 ||
        (depth != 8 && depth != 16) || depth * channels != bitsPerPixel ||
        !Image::IsAllowedSize(width, height, bitsPerPixel / 8)) {
        return false;
    }
    const auto filtered =
        FilterPNG(static_cast<int>(width), static_cast<int>(height), static_cast<int>(channels),
                  static_cast<int>(bitsPerPixel), pixels);
    const auto filteredSize = static_cast<uLong>(height) * (1 + width * (bitsPerPixel / 8));
    // Small or incompressible images deflate to more than they hold; the bound is
    // what zlib promises to need.
    const uLong bound = compressBound(filteredSize);
    std::unique_ptr<unsigned char[]> compressed(new (std::nothrow) unsigned char[bound]);
    if (filtered == nullptr || compressed == nullptr) {
        return false;
    }
    uint32_t check = 0;
    const unsigned int length = Utility::Zip::Deflate(
        reinterpret_cast<char*>(compressed.get()), static_cast<unsigned int>(bound),
        reinterpret_cast<const char*>(filtered.get()), static_cast<unsigned int>(filteredSize),
        kDeflateLevel, check, false);
    if (length == 0) {
        return false;
    }
    uint8_t ihdr[kIhdrLength];
    WriteBigEndian(ihdr, width);
    WriteBigEndian(ihdr + 4, height);
    ihdr[8] = static_cast<uint8_t>(depth);
    ihdr[9] = channels == 1 ? 0 : channels == 2 ? 4 : channels == 3 ? 2 : 6;
    ihdr[10] = 0;  // deflate
    ihdr[11] = 0;  // adaptive filtering
    ihdr[12] = 0;  // not interlaced
    stream.Write(mPngSignature, 0, 8);
    WriteChunk(stream, "IHDR", ihdr, kIhdrLength);
    WriteChunk(stream, "IDAT", compressed.get(), length);
    WriteChunk(stream, "IEND", nullptr, 0);
    return true;
}

std::unique_ptr<unsigned char[]> PNG::FilterPNG(int width, int height, int, int bitsPerPixel,
                                                const unsigned char* pixels) {
    const size_t step = static_cast<size_t>(bitsPerPixel / 8);
    const size_t rowBytes = static_cast<size_t>(width) * step;
    const auto rows = static_cast<size_t>(height);
    std::unique_ptr<unsigned char[]> data(new (std::nothrow) unsigned char[rows * (1 + rowBytes)]);
    for (size_t r = 0; data != nullptr && r < rows; ++r) {
        // File row r (from the top) is storage row rows - 1 - r; the row above it in the
        // picture is the next one in storage.
        const unsigned char* row = pixels + (rows - 1 - r) * rowBytes;
        const unsigned char* above = r == 0 ? nullptr : row + rowBytes;
        unsigned char* out = data.get() + r * (1 + rowBytes);
        out[0] = r == 0 ? kFilterSub : kFilterPaeth;
        for (size_t i = 0; i < rowBytes; ++i) {
            const Neighbours n = NeighboursOf(row, above, i, step);
            out[1 + i] = static_cast<unsigned char>(r == 0 ? FilterSub(row[i], n.a)
                                                           : FilterPaeth(row[i], n.a, n.b, n.c));
        }
    }
    return data;
}

std::unique_ptr<unsigned char[]> PNG::UnfilterPNG(int width, int height, int, int bitsPerPixel,
                                                  const unsigned char* data) {
    const size_t step = static_cast<size_t>(bitsPerPixel / 8);
    const size_t rowBytes = static_cast<size_t>(width) * step;
    const auto rows = static_cast<size_t>(height);
    std::unique_ptr<unsigned char[]> pixels(new (std::nothrow) unsigned char[rows * rowBytes]);
    for (size_t r = 0; pixels != nullptr && r < rows; ++r) {
        const unsigned char* in = data + r * (1 + rowBytes);
        // Rows are rebuilt straight into their bottom-up places.
        unsigned char* row = pixels.get() + (rows - 1 - r) * rowBytes;
        const unsigned char* above = r == 0 ? nullptr : row + rowBytes;
        if (!UnfilterRow(in[0], in + 1, row, above, rowBytes, step)) {
            return nullptr;
        }
    }
    return pixels;
}

int PNG::PaethPredictor(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) {
        return a;
    }
    return pb <= pc ? b : c;
}

}  // namespace System::Resource::Files
