#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include "System/Utility/DeflatePiece.h"
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
// The last pages answered are kept compressed while the catalogue does not change, since
// clients list the same pages again and again (each newcomer, each refresh): a page asked
// for again costs a copy of its bytes. The text of each item listed is kept until that item
// changes. A page not asked for before is joined from pieces deflated on their own: the
// entries of each run of kRunIds ids that the page holds whole are deflated once and kept
// while those items and the one before them stay, so only the runs at the page's two ends
// are deflated for it (deflating the whole page's text took most of a millisecond). A page
// or piece that could not be compressed (zlib out of memory) is never kept, and its answer
// alone fails, as a failed allocation does.
//
// REQUIRES: used by the message worker only, so the kept pages take no lock.
class GetMediaInfoRequestProcessor : public IMessageProcessor {
  public:
    // The pages kept.
    static constexpr size_t kKeptPages = 16;
    // The ids of a run: from a multiple of kRunIds, so that every page cuts the catalogue
    // into the same runs.
    static constexpr uint32_t kRunIds = 32;

    void Process(Message::BaseMessage* message, uint32_t clientId) override;
    [[nodiscard]] bool AnswersOnlySender() const override { return true; }
    // The count asked for times the most bytes an item has taken in a page made so far.
    [[nodiscard]] uint64_t AnswerBytes(const Message::BaseMessage& message) const override;

    // The page of up to count items of catalogue from startId downwards, for clientId.
    // Takes the catalogue's monitor. Throws std::bad_alloc when memory runs out, zlib's too.
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

    // The compact text of an item's entry.
    struct Entry {
        std::string mText;
        uint64_t mSerial{0};  // tells this text apart from every other made: 1, 2, ...
    };

    // The entries of one run of ids, deflated as one piece after the entry before them.
    struct Run {
        std::vector<uint64_t> mSerials;  // the serials of its entries, in the page's order
        uint64_t mPrecedingSerial{0};    // the serial of the entry before them
        System::Utility::DeflatePiece mPiece;
    };

    // The entry of item, made once while the item stays in the catalogue.
    const Entry& EntryOf(const MVC::Model::MediaModel& item);
    // Drops the entries and runs of the items changed since mEntriesChanges.
    void Forget(const Collections::MediaCollection& catalogue, uint64_t changes);
    // The page of entries (of items ids), whose last item is the last of its run when
    // lastWhole, as one compressed stream.
    Message::Media::GetMediaInfoResponse::Listing Join(const std::vector<const Entry*>& entries,
                                                       const std::vector<uint32_t>& ids,
                                                       bool lastWhole);

    std::deque<Page> mPages;  // the last kKeptPages pages made, oldest first
    // The catalogue's change count that mEntries and mRuns are current at.
    uint64_t mEntriesChanges{0};
    // Media id -> its entry, for the items listed and not changed since.
    std::unordered_map<uint32_t, Entry> mEntries;
    uint64_t mLastSerial{0};  // the serial of the last entry made
    // The most compressed bytes per item of any page made, rounded up; what a page is
    // expected to take before it is made.
    uint64_t mItemBytes{0};
    // Media id / kRunIds -> the run last deflated whole, for runs none of whose items changed.
    std::unordered_map<uint32_t, Run> mRuns;
    // What goes before and after the entries of every page, deflated once they can be.
    System::Utility::DeflatePiece mFeedStart;
    System::Utility::DeflatePiece mFeedEnd;
};

}  // namespace ZelvoRelay::Processor::Media
