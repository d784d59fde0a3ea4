#pragma once

#include <cstdint>
#include <deque>

#include "ZelvoRelay/Message/Media/GetMediaInfoResponse.h"
#include "ZelvoRelay/Processor/IMessageProcessor.h"

namespace ZelvoRelay::Collections {
class MediaCollection;
}

namespace ZelvoRelay::Processor::Media {

// Answers a page of the catalogue (GetMediaInfoResponse): up to the count asked for of
// items from the start id downwards, newest first, each an Atom entry with its Media RSS
// group. Any connected client may list. Takes the catalogue monitor alone.
//
// The last pages answered are kept compressed while the catalogue does not change: most of
// a listing's cost is deflating its text at the level the clients expect, and clients list
// the same pages again and again (each newcomer, each refresh), so a page asked for again
// costs a copy of its bytes.
//
// REQUIRES: used by the message worker only, so the kept pages take no lock.
class GetMediaInfoRequestProcessor : public IMessageProcessor {
  public:
    // The pages kept.
    static constexpr size_t kKeptPages = 16;

    void Process(Message::BaseMessage* message, uint32_t clientId) override;

    // The page of up to count items of catalogue from startId downwards, for clientId.
    // Takes the catalogue's monitor.
    [[nodiscard]] Message::Media::GetMediaInfoResponse* Answer(
        Collections::MediaCollection& catalogue, uint32_t clientId, uint32_t startId,
        uint32_t count);

  private:
    // A page answered before.
    struct Page {
        uint64_t mChanges{0};  // the catalogue's change count when the page was made
        uint32_t mFirstId{0};  // the media id of its first item; 0 for an empty catalogue
        uint32_t mCount{0};    // the count it was asked for
        Message::Media::GetMediaInfoResponse::Listing mListing;
    };

    std::deque<Page> mPages;  // the last kKeptPages pages made, oldest first
};

}  // namespace ZelvoRelay::Processor::Media
