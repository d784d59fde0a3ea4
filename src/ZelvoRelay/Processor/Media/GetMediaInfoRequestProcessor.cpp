#include "ZelvoRelay/Processor/Media/GetMediaInfoRequestProcessor.h"

#include "System/Resource/Feeds/MediaRssSerializer.h"
#include "ZelvoRelay/Collections/MediaCollection.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/Media/GetMediaInfoRequest.h"
#include "ZelvoRelay/Message/Media/GetMediaInfoResponse.h"

namespace ZelvoRelay::Processor::Media {

void GetMediaInfoRequestProcessor::Process(Message::BaseMessage* message, uint32_t clientId) {
    const auto& request = *static_cast<Message::Media::GetMediaInfoRequest*>(message);
    MVC::Model::ZelvoRelayModel* model = MVC::Model::ZelvoRelayModel::Instance();
    model->QueueMessage(Answer(model->Media, clientId, request.GetStartId(), request.GetCount()),
                        clientId, 0);
}

Message::Media::GetMediaInfoResponse* GetMediaInfoRequestProcessor::Answer(
    Collections::MediaCollection& catalogue, uint32_t clientId, uint32_t startId, uint32_t count) {
    const System::Resource::Feeds::MediaRssSerializer groups;
    System::Resource::Feeds::AtomFeed feed;

    catalogue.mMonitor.Enter();
    auto* node = catalogue.FindStart(startId);
    for (uint32_t taken = 0; node != nullptr && taken < count; ++taken) {
        const MVC::Model::MediaModel& item = node->mValue;
        System::Resource::Feeds::AtomEntry entry(item);
        entry.mExtensions.Add(groups.Serialize(item.mMediaGroup));
        feed.mEntries.Add(entry);
        node = catalogue.Previous(node);
    }
    catalogue.mMonitor.Exit();

    return new Message::Media::GetMediaInfoResponse(clientId, feed);
}

}  // namespace ZelvoRelay::Processor::Media
