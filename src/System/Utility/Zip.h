#pragma once

#include <cstdint>

#include <minizip/unzip.h>
#include <minizip/zip.h>

#include "System/Collections/Vector.h"
#include "System/IO/MemoryStream.h"
#include "System/IO/Stream.h"
#include "System/Object.h"
#include "System/String.h"

namespace System::Utility {

// One-shot zlib and gzip compression of memory buffers, ZIP local headers read and
// written by hand, and archive creation and reading through minizip. The one-shot
// operations and the header helpers keep no state and may run on several threads at
// once; the archive handles belong to the thread that uses the object.
class Zip : public Object {
  public:
    // The signature that starts every ZIP local file header.
    static constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
    // The fixed part of a local header, before its name and extra field.
    static constexpr int kLocalHeaderSize = 30;

    // One ZIP local file header; a fresh one has every number 0 and both strings empty.
    class ZipFileHeader : public Object {
      public:
        uint32_t mSignature{0};
        uint16_t mVersion{0};  // version needed to extract
        uint16_t mFlags{0};    // general-purpose flags
        uint16_t mMethod{0};   // compression method
        uint16_t mTime{0};     // last modified, MS-DOS time
        uint16_t mDate{0};     // last modified, MS-DOS date
        uint32_t mCrc{0};      // CRC-32 of the uncompressed data
        uint32_t mCompressedSize{0};
        uint32_t mUncompressedSize{0};
        uint16_t mNameLength{0};
        uint16_t mExtraLength{0};
        String mName{""};
        String mExtra{""};
        int64_t mDataOffset{0};  // file position of the entry's data (GetFileList)
    };

    Zip() = default;
    // Closes any archive still open.
    ~Zip() override;
    Zip(const Zip&) = delete;
    Zip& operator=(const Zip&) = delete;

    // Compresses sourceSize bytes in a single call into at most destinationSize bytes,
    // in zlib format or (gzip) gzip format. Returns the number of bytes written, 0 on
    // failure (including a destination too small); on success check is the Adler-32
    // (zlib) or CRC-32 (gzip) of the source. The destination comes first.
    static unsigned int Deflate(char* destination, unsigned int destinationSize, const char* source,
                                unsigned int sourceSize, int level, uint32_t& check, bool gzip);
    // The most Deflate may write for sourceSize bytes in zlib format.
    static unsigned int DeflateBound(unsigned int sourceSize);
    // Decompresses a whole zlib-format (or, with gzip, gzip-format) stream into at most
    // destinationSize bytes. Returns the number of bytes written, 0 unless the stream
    // is intact and ends within the destination. The source comes first.
    static unsigned int Inflate(const char* source, unsigned int sourceSize, char* destination,
                                unsigned int destinationSize, bool gzip);
    // Inflates a whole zlib (or gzip) stream of size bytes at source into out, which starts
    // empty, a piece at a time: out grows with what the stream really holds, so a stream that
    // compresses well is taken whole up to the limit, and one that inflates past it costs no
    // more than the limit. False when the stream is broken or cut short, inflates past limit
    // bytes, or out cannot grow.
    static bool InflateWithin(const unsigned char* source, unsigned int size, bool gzip,
                              int64_t limit, IO::MemoryStream& out);

    // The local header at the stream's position, leaving the stream at the entry's
    // data. Under a foreign signature the header holds just those 4 bytes, and the
    // stream stands 4 bytes further. Fields past the end of the stream stay 0, and the
    // name and extra field hold only the bytes there were.
    static ZipFileHeader ReadHeader(IO::Stream& stream);
    // Writes the header in its file layout: the signature as the header holds it,
    // then exactly name-length bytes of name and extra-length bytes of extra field
    // (zero bytes where the string is shorter).
    static void WriteHeader(IO::Stream& stream, const ZipFileHeader& header);
    // The local headers of the archive at path in file order, each with its data
    // offset. The walk ends at the first foreign signature, at a header cut short by
    // the end of the file and at an entry whose data would run past the end; it is
    // empty when the file cannot be read.
    static Collections::Vector<ZipFileHeader> GetFileList(const char* path);

    // Creates a new archive at path (replacing a file there), closing one still open.
    bool OpenZip(const char* path);
    // Adds a deflated entry with zeroed dates and attributes; true when it was
    // written and closed.
    bool AddZip(const char* name, const char* data, unsigned int size);
    // Writes the archive's directory and closes it; false when none is open or the
    // close failed (the archive then stays open).
    bool CloseZip();

    // Opens an existing archive for reading, closing one still open.
    bool OpenUnZip(const char* path);
    // The uncompressed size of the entry with exactly that name; 0 when missing.
    unsigned int GetUncmprSize(const char* name);
    // Reads up to size bytes of the named entry into buffer; false when the entry is
    // missing, unreadable or fails its CRC check. A short read is not an error.
    bool GetFile(const char* name, char* buffer, unsigned int size);
    // Closes the archive being read; false when none is open or the close failed.
    bool CloseUnZip();

  private:
    zipFile mZipFile{nullptr};  // the archive being written, null when none
    unzFile mUnzFile{nullptr};  // the archive being read, null when none
};

}  // namespace System::Utility
