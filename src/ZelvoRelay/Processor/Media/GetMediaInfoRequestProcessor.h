#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>

#include "ZelvoRelay/Message/Media/GetMediaInfoResponse.h"
#include "ZelvoRelay/Processor/IMessageProcessor.h"

namespace ZelvoRelay::Collections {
class MediaCollection;
}
namespace ZelvoRelay::MVC::Model {
class MediaModel;
}

namespace ZelvoRelay::Processor::Media {

// Answers a page of the catalogue (GetMediaInfoResponse): up to the count asked for of
// items from the start id downwards, newest first, each an Atom entry with its Media RSS
// group. Any connected client may list. Takes the catalogue monitor alone.
//
// The last pages answered are kept compressed while the catalogue does not change: most of
// a listing's cost is deflating its text at the level the clients expect, and clients list
// the same pages again and again (each newcomer, each refresh), so a page asked for again
// costs a copy of its bytes. The text of each item listed is kept as well until that item
// changes, so a page not asked for before costs little more than its deflating.
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

    // The compact text of item's entry, made once while the item stays in the catalogue.
    const std::string& EntryText(const MVC::Model::MediaModel& item);

    std::deque<Page> mPages;  // the last kKeptPages pages made, oldest first
    // The catalogue's change count that mEntries are current at.
    uint64_t mEntriesChanges{0};
    // Media id -> the compact text of its entry, for the items listed and not changed since.
    std::unordered_map<uint32_t, std::string> mEntries;
};

}  // namespace ZelvoRelay::Processor::Media
