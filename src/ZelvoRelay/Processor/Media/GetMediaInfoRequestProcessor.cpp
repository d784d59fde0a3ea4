#include "ZelvoRelay/Processor/Media/GetMediaInfoRequestProcessor.h"

#include <cstdint>

#include "System/Resource/Feeds/MediaRssSerializer.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/Media/GetMediaInfoRequest.h"
#include "ZelvoRelay/Message/Media/GetMediaInfoResponse.h"

namespace ZelvoRelay::Processor::Media {

void GetMediaInfoRequestProcessor::Process(Message::BaseMessage* message, uint32_t clientId) {
    const auto& request = *static_cast<Message::Media::GetMediaInfoRequest*>(message);
    MVC::Model::ZelvoRelayModel* model = MVC::Model::ZelvoRelayModel::Instance();
    const System::Resource::Feeds::MediaRssSerializer groups;
    System::Resource::Feeds::AtomFeed feed;

    Collections::MediaCollection& catalogue = model->Media;
    catalogue.mMonitor.Enter();
    auto* node = catalogue.FindStart(request.GetStartId());
    for (uint32_t taken = 0; node != nullptr && taken < request.GetCount(); ++taken) {
        const MVC::Model::MediaModel& item = node->mValue;
        System::Resource::Feeds::AtomEntry entry(item);
        entry.mExtensions.Add(groups.Serialize(item.mMediaGroup));
        feed.mEntries.Add(entry);
        node = catalogue.Previous(node);
    }
    catalogue.mMonitor.Exit();

    model->QueueMessage(new Message::Media::GetMediaInfoResponse(clientId, feed), clientId, 0);
}

}  // namespace ZelvoRelay::Processor::Media
