#include "ZelvoRelay/Processor/Media/GetMediaInfoRequestProcessor.h"

#include <algorithm>

#include "System/Resource/Feeds/MediaRssSerializer.h"
#include "ZelvoRelay/Collections/MediaCollection.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/Media/GetMediaInfoRequest.h"

namespace ZelvoRelay::Processor::Media {

using Message::Media::GetMediaInfoResponse;

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

    const System::Resource::Feeds::MediaRssSerializer groups;
    System::Resource::Feeds::AtomFeed feed;
    for (uint32_t taken = 0; node != nullptr && taken < count; ++taken) {
        const MVC::Model::MediaModel& item = node->mValue;
        feed.mEntries.Add(System::Resource::Feeds::AtomEntry(item));
        feed.mEntries[feed.mEntries.Count() - 1].mExtensions.Add(
            groups.Serialize(item.mMediaGroup));
        node = catalogue.Previous(node);
    }
    catalogue.mMonitor.Exit();

    page.mListing = GetMediaInfoResponse::Compress(feed);
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

}  // namespace ZelvoRelay::Processor::Media
