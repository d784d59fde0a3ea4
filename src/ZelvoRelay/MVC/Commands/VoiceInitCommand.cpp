#include "ZelvoRelay/MVC/Commands/VoiceInitCommand.h"

#include <cstdint>

#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/MVC/Events/VoiceInitEvent.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/Voice/VoiceInitializationMessage.h"

namespace ZelvoRelay::MVC::Commands {

void VoiceInitCommand::Execute(System::MVC::EventDispatcher* event) {
    const uint32_t clientId = static_cast<Events::VoiceInitEvent*>(event)->mClientId;
    Model::ZelvoRelayModel* model = Model::ZelvoRelayModel::Instance();
    if (!model->Server.IsHosting()) {
        return;
    }
    const Model::AudioModel& audio = model->Audio;
    auto* message = new Message::Voice::VoiceInitializationMessage(
        clientId, static_cast<uint32_t>(audio.Samples.mValue),
        static_cast<unsigned char>(audio.Channels.mValue),
        static_cast<unsigned char>(audio.BitsPerSample.mValue),
        static_cast<unsigned char>(audio.Compression.mValue),
        static_cast<unsigned char>(audio.CompressionQuality.mValue));
    // Part of the admission, which goes into the newcomer's queue ahead of room traffic.
    if (Client::RelayClient* client = model->Clients.mValue.FindClient(clientId)) {
        model->SendNow(*client, message);
    } else {
        delete message;
    }
}

}  // namespace ZelvoRelay::MVC::Commands
