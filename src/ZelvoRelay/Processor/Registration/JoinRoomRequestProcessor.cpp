#include "ZelvoRelay/Processor/Registration/JoinRoomRequestProcessor.h"

#include <cstdint>

#include "System/Threading/MonitorLock.h"
#include "System/Utility/FailPoint.h"
#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/Collections/AddressTable.h"
#include "ZelvoRelay/MVC/Events/VoiceInitEvent.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/Registration/JoinRoomRequest.h"
#include "ZelvoRelay/Message/Registration/JoinRoomResponse.h"
#include "ZelvoRelay/Message/Registration/RoomInfoMessage.h"
#include "ZelvoRelay/Message/Registration/UserJoinedMessage.h"
#include "ZelvoRelay/Message/Registration/UserPrivilegeMessage.h"
#include "ZelvoRelay/PostAction/PostRemoveClient.h"
#include "ZelvoRelay/PostAction/PostSendMediaChunk.h"

namespace ZelvoRelay::Processor::Registration {

namespace {

using MVC::Model::UserAccountModel;
using MVC::Model::UserModel;

// The account the digest admits through and the group it gives, or a refusal code.
struct Decision {
    UserAccountModel* account{nullptr};
    UserModel::UserGroup group{UserModel::UserGroup::User};
    unsigned char refusal{0};
};

Decision Decide(MVC::Model::RoomModel& room, const System::String& digest) {
    // Every account is compared whatever the earlier ones found, so the time taken does
    // not tell which account a digest came close to.
    const bool admin = room.AdminAccount.PasswordMatches(digest);
    const bool moderator = room.ModeratorAccount.PasswordMatches(digest);
    const bool user =
        room.UserAccount.PasswordMatches(digest) || room.UserAccount.PasswordHash.Length() == 0;
    Decision decision;
    if (admin) {
        decision = {&room.AdminAccount, UserModel::UserGroup::Admin, 0};
    } else if (moderator) {
        decision = {&room.ModeratorAccount, UserModel::UserGroup::Moderator, 0};
    } else if (user) {
        decision = {&room.UserAccount, UserModel::UserGroup::User, 0};
    } else {
        decision.refusal = JoinRoomRequestProcessor::WrongPassword;
        return decision;
    }
    if (!decision.account->IsEnabled) {
        decision.refusal = JoinRoomRequestProcessor::AccountDisabled;
    }
    return decision;
}

}  // namespace

void JoinRoomRequestProcessor::Process(Message::BaseMessage* message, uint32_t clientId) {
    auto* request = static_cast<Message::Registration::JoinRoomRequest*>(message);
    MVC::Model::ZelvoRelayModel* model = MVC::Model::ZelvoRelayModel::Instance();
    MVC::Model::RoomModel& room = model->Room;
    auto& clients = model->Clients;

    System::Threading::MonitorLock lock(clients.mMonitor);
    Client::RelayClient* sender = clients.mValue.FindClient(clientId);
    // Each join a refused connection sent behind the refused one would be one more password
    // tried before the connection closes: a pipelining peer would try dozens per connection.
    if (sender == nullptr || sender->AreJoinsRefused()) {
        return;
    }
    UserModel& user = sender->GetUserModel();
    System::Utility::FailPoint::Check("join");
    const System::String name = request->GetName();
    Decision decision;
    // Only members hold places: counting every connection, one outsider without the
    // password could hold the room full for as long as it kept reconnecting.
    if (clients.mValue.NumJoined() >= room.MaxClients) {
        decision.refusal = RoomFull;
    } else if (user.IsRegistered.mValue) {
        decision.refusal = AlreadyJoined;
    } else if (name.Length() == 0) {
        decision.refusal = EmptyName;
    } else {
        decision = Decide(room, request->GetPassword());
    }
    const System::Net::IPAddress address = sender->GetTcpEndPoint().GetAddress();
    if (decision.refusal != 0) {
        sender->RefuseJoins();
        lock.Unlock();
        model->QueueMessage(new Message::Registration::JoinRoomResponse(0, decision.refusal),
                            clientId, 0, new PostAction::PostRemoveClient(clientId));
        // Unbounded, one peer reconnecting at once after each refusal tried thousands of
        // passwords a second.
        if (decision.refusal == WrongPassword &&
            model->Addresses.CountWrongPassword(address, Collections::AddressTable::Clock::now())) {
            model->Server.OnAddressBlocked.Raise(address);
        }
        return;
    }

    user.Name = name;
    clients.mValue.Join(*sender);
    user.Group = decision.group;
    user.Privileges = &decision.account->Privileges;

    // The admission goes into the newcomer's send queue at once, before the newcomer can
    // be sent anything for the room. Queued as tasks, it would follow the room traffic
    // already waiting in the task queue, which reaches the newcomer from now on: a
    // client would see chat before the response that tells it its own id.
    model->SendNow(*sender, new Message::Registration::JoinRoomResponse(clientId, 0));
    model->SendNow(*sender, new Message::Registration::UserPrivilegeMessage(
                                clientId, decision.group, decision.account->Privileges));
    model->SendNow(*sender, new Message::Registration::RoomInfoMessage(clientId, room));
    MVC::Events::VoiceInitEvent voiceInit(clientId);
    voiceInit.Dispatch();
    for (uint32_t i = 0; i < clients.mValue.Count(); ++i) {
        Client::RelayClient& other = clients.mValue[i];
        if (other.GetClientId() != clientId) {
            model->SendNow(*sender, new Message::Registration::UserJoinedMessage(
                                        other.GetClientId(), other.GetUserModel()));
        }
    }
    // The members are told under the same lock, before anything the newcomer sent
    // after its join is handled. Queued as a task, the notice would follow the
    // newcomer's first chat, already waiting in the task queue, and the members would
    // see a chat from an id they were never told of.
    auto* notice = new Message::Registration::UserJoinedMessage(clientId, user);
    // Unbounded, one party rejoining with long names as fast as it could sent each member
    // more than the slower ones could read, and they were closed for it.
    model->Addresses.ChargeNotice(address, *notice, Collections::AddressTable::Clock::now());
    model->SendNowToRoom(notice, clientId);
    lock.Unlock();
    // Behind the admission in its send queue.
    PostAction::PostSendMediaChunk::StartJoined(clientId);
}

}  // namespace ZelvoRelay::Processor::Registration
