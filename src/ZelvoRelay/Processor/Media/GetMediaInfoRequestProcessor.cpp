#include "ZelvoRelay/Processor/Media/GetMediaInfoRequestProcessor.h"

#include <algorithm>
#include <vector>

#include "System/Resource/Feeds/AtomSerializer.h"
#include "System/Resource/Feeds/MediaRssSerializer.h"
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

void GetMediaInfoRequestProcessor::Process(Message::BaseMessage* message, uint32_t clientId) {
    const auto& request = *static_cast<Message::Media::GetMediaInfoRequest*>(message);
    MVC::Model::ZelvoRelayModel* model = MVC::Model::ZelvoRelayModel::Instance();
    model->QueueMessage(Answer(model->Media, clientId, request.GetStartId(), request.GetCount()),
                        clientId, 0);
}

GetMediaInfoResponse* GetMediaInfoRequestProcessor::Answer(Collections::MediaCollection& catalogue,
                                                           uint32_t clientId, uint32_t startId,
                                                           uint32_t count) {
    catalogue.mMonitor.Enter();
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
        catalogue.mMonitor.Exit();
        return new GetMediaInfoResponse(clientId, kept->mListing);
    }

    // An entry's text is made of its item alone, so only the items added or removed since
    // may have texts that no longer hold; a removed item's text goes, which keeps the texts
    // within the catalogue.
    if (mEntriesChanges != page.mChanges) {
        const auto changed = catalogue.ChangedSince(mEntriesChanges);
        if (changed) {
            for (uint32_t mediaId : *changed) {
                mEntries.erase(mediaId);
            }
        } else {
            mEntries.clear();
        }
        mEntriesChanges = page.mChanges;
    }
    // The page's text is written once into a buffer of its length: growing it entry by entry
    // copied it over and over.
    std::vector<const std::string*> entries;
    size_t length = Feed().mBefore.size() + Feed().mAfter.size();
    for (; node != nullptr && entries.size() < count; node = catalogue.Previous(node)) {
        entries.push_back(&EntryText(node->mValue));
        length += entries.back()->size();
    }
    catalogue.mMonitor.Exit();
    std::string text;
    if (entries.empty()) {
        text = Feed().mEmpty;
    } else {
        text.reserve(length);
        text += Feed().mBefore;
        for (const std::string* entry : entries) {
            text += *entry;
        }
        text += Feed().mAfter;
    }

    page.mListing = GetMediaInfoResponse::Compress(text.data(), static_cast<uint32_t>(text.size()));
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

const std::string& GetMediaInfoRequestProcessor::EntryText(const MVC::Model::MediaModel& item) {
    std::string& text = mEntries[item.mMediaId];
    if (text.empty()) {
        // The item is written as the entry it is, and its group added as the last element,
        // where the serializer puts an extension appended to a copy of it.
        System::Xml::XmlNode parent;
        System::Resource::Feeds::AtomSerializer().WriteEntry(item, parent);
        System::Xml::XmlNode* entry = parent.GetChild(0U);
        entry->AddChild(System::Resource::Feeds::MediaRssSerializer().Serialize(item.mMediaGroup));
        const System::String written = entry->ToString(false);
        text.assign(written.CStr(), written.Length());
    }
    return text;
}

}  // namespace ZelvoRelay::Processor::Media
