#include "ZelvoRelay/Processor/Media/GetMediaInfoRequestProcessor.h"

#include <algorithm>
#include <new>
#include <vector>

#include "System/Resource/Feeds/AtomSerializer.h"
#include "System/Resource/Feeds/MediaRssSerializer.h"
#include "System/Threading/MonitorLock.h"
#include "System/Utility/FailPoint.h"
#include "ZelvoRelay/Collections/MediaCollection.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/Media/GetMediaInfoRequest.h"

namespace ZelvoRelay::Processor::Media {

using Message::Media::GetMediaInfoResponse;

namespace {

// The compact text of a feed without entries, and what goes before and after the entries of
// one with some, as the serializer writes them.
struct FeedText {
    std::string mEmpty;
    std::string mBefore;
    std::string mAfter;
};

const FeedText& Feed() {
    static const FeedText text = [] {
        const System::Resource::Feeds::AtomSerializer serializer;
        System::Resource::Feeds::AtomFeed feed;
        FeedText parts;
        const System::String empty = serializer.Serialize(feed).ToString(false);
        parts.mEmpty.assign(empty.CStr(), empty.Length());
        feed.mEntries.Add(System::Resource::Feeds::AtomEntry());
        const System::String one = serializer.Serialize(feed).ToString(false);
        const std::string whole(one.CStr(), one.Length());
        const std::string entry = "<entry />";
        const size_t at = whole.find(entry);
        parts.mBefore = whole.substr(0, at);
        parts.mAfter = whole.substr(at + entry.size());
        return parts;
    }();
    return text;
}

}  // namespace

uint64_t GetMediaInfoRequestProcessor::AnswerBytes(const Message::BaseMessage& message) const {
    const auto& request = static_cast<const Message::Media::GetMediaInfoRequest&>(message);
    return request.GetCount() * mItemBytes + kSmallAnswer;
}

void GetMediaInfoRequestProcessor::Process(Message::BaseMessage* message, uint32_t clientId) {
    System::Utility::FailPoint::Check("listing-answer");
    const auto& request = *static_cast<Message::Media::GetMediaInfoRequest*>(message);
    MVC::Model::ZelvoRelayModel* model = MVC::Model::ZelvoRelayModel::Instance();
    model->QueueMessage(Answer(model->Media, clientId, request.GetStartId(), request.GetCount()),
                        clientId, 0);
}

GetMediaInfoResponse* GetMediaInfoRequestProcessor::Answer(Collections::MediaCollection& catalogue,
                                                           uint32_t clientId, uint32_t startId,
                                                           uint32_t count) {
    // Held by a scope: an allocation that fails while a page is made leaves the catalogue
    // free for the rest of the server.
    System::Threading::MonitorLock lock(catalogue.mMonitor);
    auto* node = catalogue.FindStart(startId);
    Page page;
    page.mChanges = catalogue.GetChanges();
    page.mFirstId = node != nullptr ? node->mValue.mMediaId : 0;
    page.mCount = count;
    const auto kept = std::find_if(mPages.begin(), mPages.end(), [&page](const Page& other) {
        return other.mChanges == page.mChanges && other.mFirstId == page.mFirstId &&
               other.mCount == page.mCount;
    });
    if (kept != mPages.end()) {
        lock.Unlock();
        return new GetMediaInfoResponse(clientId, kept->mListing);
    }

    if (mEntriesChanges != page.mChanges) {
        Forget(catalogue, page.mChanges);
    }
    std::vector<const Entry*> entries;
    std::vector<uint32_t> ids;
    for (; node != nullptr && entries.size() < count; node = catalogue.Previous(node)) {
        entries.push_back(&EntryOf(node->mValue));
        ids.push_back(node->mValue.mMediaId);
    }
    const bool lastWhole =
        node == nullptr || ids.empty() || node->mValue.mMediaId / kRunIds != ids.back() / kRunIds;
    lock.Unlock();

    if (entries.empty()) {
        page.mListing = GetMediaInfoResponse::Compress(Feed().mEmpty.data(),
                                                       static_cast<uint32_t>(Feed().mEmpty.size()));
    } else {
        page.mListing = Join(entries, ids, lastWhole);
        mItemBytes = std::max<uint64_t>(
            mItemBytes, (page.mListing.mDeflated.size() + entries.size() - 1) / entries.size());
    }
    // A page that could not be compressed (zlib out of memory) fails as an allocation does, so
    // that its answer fails alone: sent, it came as an empty frame, which a member's client
    // takes for an empty catalogue; kept, it would answer every later request for it so.
    if (page.mListing.mDeflated.empty()) {
        throw std::bad_alloc();
    }
    // Pages of a catalogue that has changed since can never be answered again.
    if (!mPages.empty() && mPages.back().mChanges != page.mChanges) {
        mPages.clear();
    }
    if (mPages.size() == kKeptPages) {
        mPages.pop_front();
    }
    mPages.push_back(std::move(page));
    return new GetMediaInfoResponse(clientId, mPages.back().mListing);
}

const GetMediaInfoRequestProcessor::Entry& GetMediaInfoRequestProcessor::EntryOf(
    const MVC::Model::MediaModel& item) {
    Entry& entry = mEntries[item.mMediaId];
    if (entry.mSerial == 0) {
        // The item is written as the entry it is, and its group added as the last element,
        // where the serializer puts an extension appended to a copy of it.
        System::Xml::XmlNode parent;
        System::Resource::Feeds::AtomSerializer().WriteEntry(item, parent);
        System::Xml::XmlNode* element = parent.GetChild(0U);
        element->AddChild(
            System::Resource::Feeds::MediaRssSerializer().Serialize(item.mMediaGroup));
        const System::String written = element->ToString(false);
        entry.mText.assign(written.CStr(), written.Length());
        entry.mSerial = ++mLastSerial;
    }
    return entry;
}

void GetMediaInfoRequestProcessor::Forget(const Collections::MediaCollection& catalogue,
                                          uint64_t changes) {
    // An entry's text is made of its item alone, so only the items added or removed since
    // may have texts that no longer hold, and runs that no longer hold what they held. A
    // removed item's text and run go, which keeps both within the catalogue; a run whose
    // preceding entry changed is told by its serials.
    const auto changed = catalogue.ChangedSince(mEntriesChanges);
    if (changed) {
        for (uint32_t mediaId : *changed) {
            mEntries.erase(mediaId);
            mRuns.erase(mediaId / kRunIds);
        }
    } else {
        mEntries.clear();
        mRuns.clear();
    }
    mEntriesChanges = changes;
}

GetMediaInfoResponse::Listing GetMediaInfoRequestProcessor::Join(
    const std::vector<const Entry*>& entries, const std::vector<uint32_t>& ids, bool lastWhole) {
    // Deflated once for the many pages that hold the run whole: a stronger level (9 makes
    // hardly smaller runs and takes half as long again).
    constexpr int kRunLevel = 6;
    // Deflated for one page.
    constexpr int kPageLevel = GetMediaInfoResponse::kFastLevel;
    // A piece that could not be made (zlib out of memory) fails this page alone: kept, it
    // would fail every later page that holds it.
    if (!mFeedStart.IsDeflated() || !mFeedEnd.IsDeflated()) {
        mFeedStart = System::Utility::DeflatePiece(
            Feed().mBefore.data(), static_cast<uint32_t>(Feed().mBefore.size()), "", kRunLevel);
        mFeedEnd = System::Utility::DeflatePiece(
            Feed().mAfter.data(), static_cast<uint32_t>(Feed().mAfter.size()), "", kRunLevel);
        if (!mFeedStart.IsDeflated() || !mFeedEnd.IsDeflated()) {
            return {};
        }
    }

    std::vector<const System::Utility::DeflatePiece*> pieces{&mFeedStart};
    std::vector<System::Utility::DeflatePiece> ends;  // the partial runs: at most two
    ends.reserve(2);
    for (size_t from = 0; from < entries.size();) {
        size_t to = from + 1;
        while (to < entries.size() && ids[to] / kRunIds == ids[from] / kRunIds) {
            ++to;
        }
        // The first run is deflated for the page even when the page holds it whole: kept, it
        // would follow the feed's start, and pages that hold it further down would deflate
        // it again each time, one after the other.
        const bool whole = from > 0 && (to < entries.size() || lastWhole);
        const std::string& preceding = from == 0 ? Feed().mBefore : entries[from - 1]->mText;
        const uint64_t precedingSerial = from == 0 ? 0 : entries[from - 1]->mSerial;
        std::vector<uint64_t> serials;
        for (size_t at = from; at < to; ++at) {
            serials.push_back(entries[at]->mSerial);
        }
        Run* run = whole ? &mRuns[ids[from] / kRunIds] : nullptr;
        if (run == nullptr || run->mPrecedingSerial != precedingSerial ||
            run->mSerials != serials) {
            std::string text;
            for (size_t at = from; at < to; ++at) {
                text += entries[at]->mText;
            }
            System::Utility::DeflatePiece piece(text.data(), static_cast<uint32_t>(text.size()),
                                                preceding, whole ? kRunLevel : kPageLevel);
            if (!piece.IsDeflated()) {
                return {};
            }
            if (run == nullptr) {
                ends.push_back(std::move(piece));
            } else {
                run->mSerials = std::move(serials);
                run->mPrecedingSerial = precedingSerial;
                run->mPiece = std::move(piece);
            }
        }
        pieces.push_back(run == nullptr ? &ends.back() : &run->mPiece);
        from = to;
    }
    pieces.push_back(&mFeedEnd);
    GetMediaInfoResponse::Listing listing;
    listing.mDeflated = System::Utility::DeflatePiece::Join(pieces, listing.mXmlLength);
    return listing;
}

}  // namespace ZelvoRelay::Processor::Media
