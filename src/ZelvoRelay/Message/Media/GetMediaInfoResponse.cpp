#include "ZelvoRelay/Message/Media/GetMediaInfoResponse.h"

#include <memory>
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
    const unsigned int bound = System::Utility::Zip::DeflateBound(length);
    const std::unique_ptr<char[]> buffer(new char[bound]);
    uint32_t check = 0;
    const unsigned int size =
        System::Utility::Zip::Deflate(buffer.get(), bound, text, length, kFastLevel, check, false);
    listing.mDeflated.assign(buffer.get(), buffer.get() + size);
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
