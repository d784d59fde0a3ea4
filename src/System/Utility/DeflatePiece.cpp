#include "System/Utility/DeflatePiece.h"

#include <zlib.h>

#include <memory>

namespace System::Utility {

DeflatePiece::DeflatePiece(const char* text, uint32_t length, const std::string& preceding,
                           int level)
    : mLength(length) {
    auto* in = reinterpret_cast<Bytef*>(const_cast<char*>(text));
    mAdler = static_cast<uint32_t>(adler32(adler32(0, nullptr, 0), in, length));
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        return;
    }
    // A sync flush ends the piece with an empty stored block, on a byte boundary and not
    // final, so that the next piece's blocks can follow it.
    const uLong bound = compressBound(length) + 16;
    const std::unique_ptr<char[]> buffer(new char[bound]);
    stream.next_in = in;
    stream.avail_in = length;
    stream.next_out = reinterpret_cast<Bytef*>(buffer.get());
    stream.avail_out = static_cast<uInt>(bound);
    const bool deflated =
        (preceding.empty() ||
         deflateSetDictionary(&stream, reinterpret_cast<const Bytef*>(preceding.data()),
                              static_cast<uInt>(preceding.size())) == Z_OK) &&
        deflate(&stream, Z_SYNC_FLUSH) == Z_OK && stream.avail_in == 0 && stream.avail_out != 0;
    if (deflated) {
        mDeflated.assign(buffer.get(), buffer.get() + stream.total_out);
    }
    deflateEnd(&stream);
}

std::vector<char> DeflatePiece::Join(const std::vector<const DeflatePiece*>& pieces,
                                     uint32_t& textLength) {
    // The zlib header (a 32 KiB window, no dictionary) and, after the pieces, an empty final
    // block and the Adler-32 of the whole text, most significant byte first.
    static const char kHeader[] = {0x78, static_cast<char>(0x9C)};
    static const char kLastBlock[] = {0x03, 0x00};
    std::vector<char> joined;
    textLength = 0;
    uLong adler = adler32(0, nullptr, 0);
    size_t size = sizeof kHeader + sizeof kLastBlock + 4;
    for (const DeflatePiece* piece : pieces) {
        if (!piece->IsDeflated()) {
            return joined;
        }
        textLength += piece->mLength;
        adler = adler32_combine(adler, piece->mAdler, piece->mLength);
        size += piece->mDeflated.size();
    }
    joined.reserve(size);
    joined.insert(joined.end(), kHeader, kHeader + sizeof kHeader);
    for (const DeflatePiece* piece : pieces) {
        joined.insert(joined.end(), piece->mDeflated.begin(), piece->mDeflated.end());
    }
    joined.insert(joined.end(), kLastBlock, kLastBlock + sizeof kLastBlock);
    for (int shift = 24; shift >= 0; shift -= 8) {
        joined.push_back(static_cast<char>(adler >> shift));
    }
    return joined;
}

}  // namespace System::Utility
