// The relay's processors driven from outside: a relay hosted on the loopback interface
// with two joined members, and for each input a third client that joins, sends the input
// as it is (frames and all) and closes its sending side. Each member must stay connected,
// receive room traffic only under the sender's own id, and be told that the sender left.
#include <csignal>
#include <memory>

#include "System/Net/IPAddress.h"
#include "System/Net/IPEndPoint.h"
#include "System/Singleton.h"
#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/MVC/Model/MediaModel.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "fuzz/Fuzz.h"
#include "support/RawClient.h"
#include "support/RelayWire.h"

namespace {

using Model = ZelvoRelay::MVC::Model::ZelvoRelayModel;
using Privilege = ZelvoRelay::MVC::Model::UserPrivilegeModel::UserPrivilege;
using Right = ZelvoRelay::MVC::Model::UserPrivilegeModel::AccessRight;
using TestSupport::RawClient;

// No exchange of the harness waits longer; a relay that takes this long has hung.
constexpr auto kDeadline = std::chrono::seconds(10);

// Reads client's frames up to the first of type from id, or to the sender's leaving;
// false when neither comes. Everything the room relays from the sender must carry its id.
bool SkipTo(RawClient& client, uint8_t type, uint32_t id, uint32_t senderId = 0,
            const std::string& payload = "") {
    while (const std::optional<std::string> frame = client.NextFrame(kDeadline)) {
        const RelayWire::Parsed message = RelayWire::Parse(*frame);
        if (message.type == type && message.clientId == id &&
            (payload.empty() || message.payload == payload)) {
            return true;
        }
        if (senderId == 0) {
            continue;
        }
        if (message.type == RelayWire::Chat || message.type == RelayWire::VoiceData ||
            message.type == RelayWire::UserStatus || message.type == RelayWire::ChangeName) {
            FUZZ_CHECK(message.clientId == senderId);
        }
        if (message.type == RelayWire::UserLeft && message.clientId == senderId) {
            return false;
        }
    }
    FUZZ_CHECK(!"a member stays connected and hears from the room");
    return false;
}

// Whether data ends where a frame the relay accepts ends, so that a frame sent after it
// is read as one.
bool EndsWithFrame(const uint8_t* data, size_t size) {
    size_t at = 0;
    while (at + 4 <= size) {
        const uint32_t length =
            RelayWire::ReadU32(std::string(reinterpret_cast<const char*>(data + at), 4), 0);
        if (length >= ZelvoRelay::Client::RelayClient::kMaxMessageSize) {
            return false;
        }
        at += 4 + length;
    }
    return at == size;
}

// Connects a client and joins it; its id.
uint32_t Join(RawClient& client, const std::string& name) {
    FUZZ_CHECK(client.Connected() && client.SendFrame(RelayWire::Join(name, "")));
    const std::optional<std::string> answer = client.NextFrame(kDeadline);
    FUZZ_CHECK(answer.has_value());
    const RelayWire::Parsed parsed = RelayWire::Parse(*answer);
    FUZZ_CHECK(parsed.type == RelayWire::JoinResponse && parsed.payload == RelayWire::U8(0));
    return parsed.clientId;
}

// A relay built afresh, so that client and media ids start over for every input.
class Room {
  public:
    Room() : mModel(Model::Instance()) {
        mModel->Room.MaxClients = 10;
        for (Privilege privilege :
             {Privilege::Voice, Privilege::Chat, Privilege::Photos, Privilege::DeletePhotos}) {
            mModel->Room.UserAccount.SetAccessRight(privilege, Right::Write);
        }
        static const std::string media = Fuzz::ScratchPath("media") + "/";
        std::filesystem::create_directories(media);
        mModel->Configuration.MediaPath = media.c_str();
        mModel->Configuration.MaxMediaSize = 65536;
        mModel->Configuration.MediaPreviewWidth = 40;
        mModel->Configuration.MediaPreviewHeight = 30;
        ZelvoRelay::MVC::Model::MediaModel::SetMediaIdCounter(1);
        mModel->Server.Host(
            System::Net::IPEndPoint(System::Net::IPAddress::Loopback(), 0).SwapEndian());
        FUZZ_CHECK(mModel->Server.IsHosting());
        const uint16_t port = mModel->Server.GetSocket()->GetLocalEndPoint().GetPort();
        mPort = static_cast<uint16_t>(port >> 8 | port << 8);
        for (auto& member : mMembers) {
            member = std::make_unique<RawClient>(mPort);
            const uint32_t id = Join(*member, "member");
            for (auto& other : mMembers) {
                if (other != nullptr && other != member) {
                    FUZZ_CHECK(SkipTo(*other, RelayWire::UserJoined, id));
                }
            }
        }
    }
    ~Room() {
        mMembers[0].reset();
        mMembers[1].reset();
        mModel->Server.Disconnect();
        System::Singleton<Model>::Destroy();
    }

    uint16_t mPort{0};
    std::unique_ptr<RawClient> mMembers[2];

  private:
    Model* mModel;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ignoring = std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
    FUZZ_CHECK(ignoring);
    Room room;
    RawClient sender(room.mPort);
    const uint32_t id = Join(sender, "sender");
    for (auto& member : room.mMembers) {
        FUZZ_CHECK(SkipTo(*member, RelayWire::UserJoined, id));
    }
    (void)sender.SendBytes(std::string(reinterpret_cast<const char*>(data), size));
    // A chat after the input, once relayed, shows that the relay has handled the whole
    // input while the sender was still in the room.
    const bool synced = EndsWithFrame(data, size) && sender.SendFrame(RelayWire::ChatText("sync"));
    bool told[2] = {false, false};  // the member has been told that the sender left
    for (int i = 0; i < 2 && synced; ++i) {
        told[i] = !SkipTo(*room.mMembers[i], RelayWire::Chat, id, id, RelayWire::Text("sync"));
    }
    sender.ShutdownSend();
    for (int i = 0; i < 2; ++i) {
        FUZZ_CHECK(told[i] || SkipTo(*room.mMembers[i], RelayWire::UserLeft, id, id));
    }
    return 0;
}
