#include "ZelvoRelay/Message/Media/GetMediaInfoResponse.h"

#include <zlib.h>

#include <memory>
#include <string>
#include <vector>

#include "System/Resource/Feeds/AtomSerializer.h"
#include "System/Utility/Zip.h"
#include "System/Xml/XmlDoc.h"
#include "ZelvoRelay/Message/MessageReader.h"
#include "ZelvoRelay/Message/MessageWriter.h"

namespace ZelvoRelay::Message::Media {

using System::Resource::Feeds::AtomFeed;
using System::Resource::Feeds::AtomSerializer;

namespace {

// Header, L and D.
constexpr int32_t DeflatedOffset = 13;

}  // namespace

GetMediaInfoResponse::GetMediaInfoResponse(uint32_t clientId, const AtomFeed& feed)
    : GetMediaInfoResponse(clientId, Compress(feed)) {}

GetMediaInfoResponse::GetMediaInfoResponse(uint32_t clientId, const Listing& listing)
    : BaseMessage(
          static_cast<uint32_t>(listing.mDeflated.empty() ? 0 : 8 + listing.mDeflated.size()),
          MsgId, clientId) {
    if (listing.mDeflated.empty()) {
        return;
    }
    MessageWriter writer(*this);
    writer.U32(listing.mXmlLength);
    writer.U32(static_cast<uint32_t>(listing.mDeflated.size()));
    writer.Bytes(listing.mDeflated.data(), static_cast<uint32_t>(listing.mDeflated.size()));
}

GetMediaInfoResponse::Listing GetMediaInfoResponse::Compress(const AtomFeed& feed) {
    const System::String text = AtomSerializer().Serialize(feed).ToString(false);
    return Compress(text.ToByteArray(), text.Length());
}

GetMediaInfoResponse::Listing GetMediaInfoResponse::Compress(const char* text, uint32_t length) {
    Listing listing;
    listing.mXmlLength = length;
    // A text that hardly compresses deflates to more than its own length plus a few bytes;
    // a buffer without zlib's bound would then fail it and the client would see no items.
    // The buffer is left unfilled, and the listing keeps only what was written: kept pages
    // would otherwise each hold room for the whole text.
    const uLong bound = compressBound(length);
    const std::unique_ptr<char[]> buffer(new char[bound]);
    uint32_t check = 0;
    const unsigned int size = System::Utility::Zip::Deflate(
        buffer.get(), static_cast<unsigned int>(bound), text, length, kFastLevel, check, false);
    listing.mDeflated.assign(buffer.get(), buffer.get() + size);
    return listing;
}

GetMediaInfoResponse::Piece GetMediaInfoResponse::Deflate(const char* text, uint32_t length,
                                                          const std::string& preceding, int level) {
    Piece piece;
    piece.mLength = length;
    auto* in = reinterpret_cast<Bytef*>(const_cast<char*>(text));
    piece.mAdler = static_cast<uint32_t>(adler32(adler32(0, nullptr, 0), in, length));
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        return piece;
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
        piece.mDeflated.assign(buffer.get(), buffer.get() + stream.total_out);
    }
    deflateEnd(&stream);
    return piece;
}

GetMediaInfoResponse::Listing GetMediaInfoResponse::Join(const std::vector<const Piece*>& pieces) {
    // The zlib header (a 32 KiB window, no dictionary) and, after the pieces, an empty final
    // block and the Adler-32 of the whole text, most significant byte first.
    static const char kHeader[] = {0x78, static_cast<char>(0x9C)};
    static const char kLastBlock[] = {0x03, 0x00};
    Listing listing;
    uLong adler = adler32(0, nullptr, 0);
    size_t size = sizeof kHeader + sizeof kLastBlock + 4;
    for (const Piece* piece : pieces) {
        if (piece->mDeflated.empty()) {
            return listing;
        }
        listing.mXmlLength += piece->mLength;
        adler = adler32_combine(adler, piece->mAdler, piece->mLength);
        size += piece->mDeflated.size();
    }
    listing.mDeflated.reserve(size);
    listing.mDeflated.insert(listing.mDeflated.end(), kHeader, kHeader + sizeof kHeader);
    for (const Piece* piece : pieces) {
        listing.mDeflated.insert(listing.mDeflated.end(), piece->mDeflated.begin(),
                                 piece->mDeflated.end());
    }
    listing.mDeflated.insert(listing.mDeflated.end(), kLastBlock, kLastBlock + sizeof kLastBlock);
    for (int shift = 24; shift >= 0; shift -= 8) {
        listing.mDeflated.push_back(static_cast<char>(adler >> shift));
    }
    return listing;
}

AtomFeed GetMediaInfoResponse::GetAtom() const {
    if (GetMsgSize() < DeflatedOffset + 1) {
        return AtomFeed();
    }
    MessageReader reader(*this);
    const uint32_t xmlLength = reader.U32();
    const uint32_t deflatedLength = reader.U32();
    const char* deflated = reader.Bytes(deflatedLength);
    if (deflated == nullptr || xmlLength == 0 || xmlLength > deflatedLength * MaxExpansion) {
        return AtomFeed();
    }
    std::vector<char> xml(xmlLength);
    if (System::Utility::Zip::Inflate(deflated, deflatedLength, xml.data(), xmlLength, false) !=
        xmlLength) {
        return AtomFeed();
    }
    System::Xml::XmlDoc document;
    const System::Xml::XmlNode* root = document.Load(System::String(xml.data(), xmlLength));
    if (root == nullptr) {
        return AtomFeed();
    }
    return AtomSerializer().Deserialize(*root);
}

}  // namespace ZelvoRelay::Message::Media
