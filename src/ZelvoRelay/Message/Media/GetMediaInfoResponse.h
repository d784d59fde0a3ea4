#pragma once

#include <cstdint>
#include <string>
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

    // A stretch of a feed's compact text deflated on its own, to be joined with the stretches
    // around it into one stream (Join).
    struct Piece {
        uint32_t mLength{0};  // the bytes of text
        uint32_t mAdler{1};   // their Adler-32
        // Raw deflate blocks, none of them final, ending on a byte boundary; empty when
        // compression failed.
        std::vector<char> mDeflated;
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
    // The length bytes of text deflated at level as a piece that follows preceding in the
    // feed's text: it may refer back into those bytes.
    [[nodiscard]] static Piece Deflate(const char* text, uint32_t length,
                                       const std::string& preceding, int level);
    // The texts of pieces, in order, compressed as one stream; nothing compressed when a
    // piece is empty. REQUIRES: each piece was deflated after the text of those before it.
    [[nodiscard]] static Listing Join(const std::vector<const Piece*>& pieces);

    // The feed the message carries; an empty feed when the message is cut short, the text
    // does not inflate to exactly L bytes, or it holds no XML element.
    [[nodiscard]] System::Resource::Feeds::AtomFeed GetAtom() const;
};

}  // namespace ZelvoRelay::Message::Media
