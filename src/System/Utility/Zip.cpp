#include "System/Utility/Zip.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "System/IO/FileStream.h"

namespace System::Utility {

namespace {

// zlib's window bits for a gzip wrapper around a 32 KiB window.
constexpr int kGzipWindowBits = MAX_WBITS + 16;
constexpr int kGzipMemoryLevel = 9;
// The bytes inflated at a time.
constexpr uInt kInflatePiece = 16 * 1024;

// Inflates a whole zlib (or gzip) stream of size bytes at source a piece at a time, handing
// each piece to take(piece, length), which returns false to stop. True only when the stream
// ended intact with every piece taken.
template <typename Take>
bool InflatePieces(const unsigned char* source, uInt size, bool gzip, Take take) {
    z_stream stream{};
    if (inflateInit2(&stream, gzip ? kGzipWindowBits : MAX_WBITS) != Z_OK) {
        return false;
    }
    stream.next_in = const_cast<Bytef*>(source);
    stream.avail_in = size;
    unsigned char piece[kInflatePiece];
    bool ended = false;
    for (;;) {
        stream.next_out = piece;
        stream.avail_out = kInflatePiece;
        const int result = inflate(&stream, Z_NO_FLUSH);
        if ((result != Z_OK && result != Z_STREAM_END) ||
            !take(piece, static_cast<unsigned int>(kInflatePiece - stream.avail_out))) {
            break;
        }
        if (result == Z_STREAM_END) {
            ended = true;
            break;
        }
    }
    inflateEnd(&stream);
    return ended;
}

// Reads a little-endian number of sizeof(T) bytes; it stays 0 unless all its bytes
// were there.
template <typename T>
T ReadNumber(IO::Stream& stream) {
    unsigned char bytes[sizeof(T)];
    if (stream.Read(bytes, 0, sizeof(T)) != static_cast<int>(sizeof(T))) {
        return 0;
    }
    T value = 0;
    for (size_t i = sizeof(T); i-- > 0;) {
        value = static_cast<T>((value << 8) | bytes[i]);
    }
    return value;
}

template <typename T>
void WriteNumber(IO::Stream& stream, T value) {
    unsigned char bytes[sizeof(T)];
    for (size_t i = 0; i < sizeof(T); ++i) {
        bytes[i] = static_cast<unsigned char>(value >> (8 * i));
    }
    stream.Write(bytes, 0, sizeof(T));
}

// Up to length bytes, keeping only those the stream supplied.
String ReadBytes(IO::Stream& stream, uint16_t length) {
    if (length == 0) {
        return String("");
    }
    std::vector<unsigned char> bytes(length);
    const int read = stream.Read(bytes.data(), 0, length);
    return String(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<unsigned int>(std::max(read, 0)));
}

// Exactly length bytes: the text's first bytes, then zeros where it is shorter, so a
// header never reads past its strings and its file layout stays as its lengths say.
void WriteBytes(IO::Stream& stream, const String& text, uint16_t length) {
    std::vector<unsigned char> bytes(length, 0);
    const unsigned int copied = std::min<unsigned int>(length, text.Length());
    std::copy_n(text.ToByteArray(), copied, bytes.begin());
    stream.Write(bytes.data(), 0, length);
}

}  // namespace

Zip::~Zip() {
    if (mZipFile != nullptr) {
        CloseZip();
    }
    if (mUnzFile != nullptr) {
        CloseUnZip();
    }
}

unsigned int Zip::DeflateBound(unsigned int sourceSize) {
    return static_cast<unsigned int>(compressBound(sourceSize));
}

unsigned int Zip::Deflate(char* destination, unsigned int destinationSize, const char* source,
                          unsigned int sourceSize, int level, uint32_t& check, bool gzip) {
    z_stream stream{};
    const int init = gzip ? deflateInit2(&stream, level, Z_DEFLATED, kGzipWindowBits,
                                         kGzipMemoryLevel, Z_DEFAULT_STRATEGY)
                          : deflateInit(&stream, level);
    if (init != Z_OK) {
        return 0;
    }
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(source));
    stream.avail_in = sourceSize;
    stream.next_out = reinterpret_cast<Bytef*>(destination);
    stream.avail_out = destinationSize;
    const int result = deflate(&stream, Z_FINISH);
    const uLong total = stream.total_out;
    const uLong checksum = stream.adler;
    if (deflateEnd(&stream) != Z_OK || result != Z_STREAM_END) {
        return 0;
    }
    check = static_cast<uint32_t>(checksum);
    return static_cast<unsigned int>(total);
}

unsigned int Zip::Inflate(const char* source, unsigned int sourceSize, char* destination,
                          unsigned int destinationSize, bool gzip) {
    unsigned int written = 0;
    const bool ended = InflatePieces(reinterpret_cast<const unsigned char*>(source), sourceSize,
                                     gzip, [&](const unsigned char* piece, unsigned int length) {
                                         if (length > destinationSize - written) {
                                             return false;
                                         }
                                         std::memcpy(destination + written, piece, length);
                                         written += length;
                                         return true;
                                     });
    return ended ? written : 0;
}

bool Zip::InflateWithin(const unsigned char* source, unsigned int size, bool gzip, int64_t limit,
                        IO::MemoryStream& out) {
    return InflatePieces(source, size, gzip, [&](const unsigned char* piece, unsigned int length) {
        const int64_t grown = out.Length() + length;
        if (grown > limit) {
            return false;
        }
        out.Write(piece, 0, static_cast<int>(length));
        return out.Length() == grown;
    });
}

Zip::ZipFileHeader Zip::ReadHeader(IO::Stream& stream) {
    ZipFileHeader header;
    header.mSignature = ReadNumber<uint32_t>(stream);
    if (header.mSignature != kLocalHeaderSignature) {
        return header;
    }
    header.mVersion = ReadNumber<uint16_t>(stream);
    header.mFlags = ReadNumber<uint16_t>(stream);
    header.mMethod = ReadNumber<uint16_t>(stream);
    header.mTime = ReadNumber<uint16_t>(stream);
    header.mDate = ReadNumber<uint16_t>(stream);
    header.mCrc = ReadNumber<uint32_t>(stream);
    header.mCompressedSize = ReadNumber<uint32_t>(stream);
    header.mUncompressedSize = ReadNumber<uint32_t>(stream);
    // The lengths are unsigned: read as signed, a name of 32768 bytes or more would be
    // skipped and the entry's data offset would land inside its name.
    header.mNameLength = ReadNumber<uint16_t>(stream);
    header.mExtraLength = ReadNumber<uint16_t>(stream);
    header.mName = ReadBytes(stream, header.mNameLength);
    header.mExtra = ReadBytes(stream, header.mExtraLength);
    return header;
}

void Zip::WriteHeader(IO::Stream& stream, const ZipFileHeader& header) {
    WriteNumber(stream, header.mSignature);
    WriteNumber(stream, header.mVersion);
    WriteNumber(stream, header.mFlags);
    WriteNumber(stream, header.mMethod);
    WriteNumber(stream, header.mTime);
    WriteNumber(stream, header.mDate);
    WriteNumber(stream, header.mCrc);
    WriteNumber(stream, header.mCompressedSize);
    WriteNumber(stream, header.mUncompressedSize);
    WriteNumber(stream, header.mNameLength);
    WriteNumber(stream, header.mExtraLength);
    WriteBytes(stream, header.mName, header.mNameLength);
    WriteBytes(stream, header.mExtra, header.mExtraLength);
}

Collections::Vector<Zip::ZipFileHeader> Zip::GetFileList(const char* path) {
    Collections::Vector<ZipFileHeader> headers;
    IO::FileStream stream(String(path), 3);
    if (!stream.CanRead()) {
        return headers;
    }
    const int64_t length = stream.Length();
    while (stream.Position() < length) {
        const int64_t start = stream.Position();
        ZipFileHeader header = ReadHeader(stream);
        if (header.mSignature != kLocalHeaderSignature) {
            break;
        }
        const int64_t dataOffset = stream.Position();
        if (dataOffset != start + kLocalHeaderSize + header.mNameLength + header.mExtraLength) {
            break;
        }
        // The size is unsigned and the end is computed in 64 bits, so the next header
        // always lies beyond this one: a size taken as signed could seek back onto the
        // same header and list it forever. Data running past the end ends the walk.
        const int64_t dataEnd = dataOffset + header.mCompressedSize;
        if (dataEnd > length) {
            break;
        }
        header.mDataOffset = dataOffset;
        headers.Add(header);
        stream.Position(dataEnd);
    }
    stream.Close();
    return headers;
}

bool Zip::OpenZip(const char* path) {
    if (mZipFile != nullptr) {
        CloseZip();
    }
    mZipFile = zipOpen(path, APPEND_STATUS_CREATE);
    return mZipFile != nullptr;
}

bool Zip::AddZip(const char* name, const char* data, unsigned int size) {
    if (mZipFile == nullptr) {
        return false;
    }
    zip_fileinfo info{};
    if (zipOpenNewFileInZip(mZipFile, name, &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                            Z_DEFAULT_COMPRESSION) != ZIP_OK) {
        return false;
    }
    if (zipWriteInFileInZip(mZipFile, data, size) < 0) {
        // An entry left open would swallow the next entry's writes and leave the
        // archive without a directory record for it.
        zipCloseFileInZip(mZipFile);
        return false;
    }
    return zipCloseFileInZip(mZipFile) == ZIP_OK;
}

bool Zip::CloseZip() {
    if (mZipFile == nullptr || zipClose(mZipFile, nullptr) != ZIP_OK) {
        return false;
    }
    mZipFile = nullptr;
    return true;
}

bool Zip::OpenUnZip(const char* path) {
    if (mUnzFile != nullptr) {
        CloseUnZip();
    }
    mUnzFile = unzOpen(path);
    return mUnzFile != nullptr;
}

unsigned int Zip::GetUncmprSize(const char* name) {
    if (mUnzFile == nullptr || unzLocateFile(mUnzFile, name, 0) != UNZ_OK) {
        return 0;
    }
    unz_file_info info{};
    if (unzGetCurrentFileInfo(mUnzFile, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
        return 0;
    }
    return static_cast<unsigned int>(info.uncompressed_size);
}

bool Zip::GetFile(const char* name, char* buffer, unsigned int size) {
    if (mUnzFile == nullptr || unzLocateFile(mUnzFile, name, 0) != UNZ_OK ||
        unzOpenCurrentFile(mUnzFile) != UNZ_OK) {
        return false;
    }
    if (unzReadCurrentFile(mUnzFile, buffer, size) < 0) {
        unzCloseCurrentFile(mUnzFile);
        return false;
    }
    return unzCloseCurrentFile(mUnzFile) == UNZ_OK;
}

bool Zip::CloseUnZip() {
    if (mUnzFile == nullptr || unzClose(mUnzFile) != UNZ_OK) {
        return false;
    }
    mUnzFile = nullptr;
    return true;
}

}  // namespace System::Utility
