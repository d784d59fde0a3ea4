#pragma once

#include <cstdint>
#include <vector>

#include "System/Resource/Feeds/AtomFeed.h"
#include "ZelvoRelay/Message/BaseMessage.h"

namespace ZelvoRelay::Message::Media {

// Type 151, server to client, with the requester's id: a page of the catalogue as an Atom
// feed. Payload: the byte length L of the feed's compact XML text (4 bytes), the length D of
// the compressed text (4 bytes) and the D bytes: the text deflated as one zlib stream. A listing
// that cannot be compressed is sent as the header alone.
class GetMediaInfoResponse : public BaseMessage {
  public:
    static constexpr uint8_t MsgId = 151;
    // Deflate expands its input at most 1032-fold, so a longer text length cannot be true
    // of the bytes present and is refused before anything is allocated for it.
    static constexpr uint64_t MaxExpansion = 1032;
    // The level of text deflated for one listing, on the message worker that every other
    // connection waits for: for 255 items with 200-byte titles level 9 took about 4 ms,
    // level 2 about 0.7 ms for a stream a third larger (level 1 is as fast and larger still,
    // 3 and up take over a millisecond). Clients inflate a zlib stream of any level.
    static constexpr int kFastLevel = 2;

    // The compressed text of a feed.
    struct Listing {
        uint32_t mXmlLength{0};       // L
        std::vector<char> mDeflated;  // the D compressed bytes; empty when compression failed
    };

    explicit GetMediaInfoResponse(const MessageBytes& bytes) : BaseMessage(bytes) {}
    // Serialises feed, takes its compact text and compresses it.
    GetMediaInfoResponse(uint32_t clientId, const System::Resource::Feeds::AtomFeed& feed);
    // The listing made by Compress, for clientId.
    GetMediaInfoResponse(uint32_t clientId, const Listing& listing);

    // The compact text of feed, compressed at kFastLevel.
    [[nodiscard]] static Listing Compress(const System::Resource::Feeds::AtomFeed& feed);
    // The length bytes of a feed's compact text, compressed at kFastLevel.
    [[nodiscard]] static Listing Compress(const char* text, uint32_t length);

    // The feed the message carries; an empty feed when the message is cut short, the text
    // does not inflate to exactly L bytes, or it holds no XML element.
    [[nodiscard]] System::Resource::Feeds::AtomFeed GetAtom() const;
};

}  // namespace ZelvoRelay::Message::Media
