#include "Admin/Log/RelayObserver.h"

#include "Admin/AdminModel.h"
#include "Admin/Log/PrintLogMessage.h"
#include "Admin/RoomUpdateEvent.h"
#include "Application/AppModel.h"
#include "Application/SaveUserDataEvent.h"
#include "System/Collections/HashFunctions.h"
#include "System/DateTime.h"
#include "System/IO/DescriptorRoom.h"
#include "System/Net/Client.h"
#include "System/Net/IPAddress.h"
#include "System/Net/IPEndPoint.h"
#include "System/Net/Server.h"
#include "System/Threading/MonitorLock.h"
#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/Collections/AddressTable.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/BaseMessage.h"
#include "ZelvoRelay/Message/Chat/ChatMessage.h"
#include "ZelvoRelay/Message/Media/AddMediaRequest.h"
#include "ZelvoRelay/Message/Registration/JoinRoomRequest.h"

#include <algorithm>

using System::String;
using ZelvoRelay::MVC::Model::ZelvoRelayModel;

namespace {

using ZelvoRelay::Message::Media::AddMediaRequest;
using ZelvoRelay::Message::Registration::JoinRoomRequest;

constexpr uint32_t kChatMessage = 50;

// The port a server was asked to host on; its end point is kept in network order.
uint16_t HostPort(System::Net::Server* server) {
    return server->GetEndPoint().SwapEndian().GetPort();
}

// The port a hosting server listens on. Asked for port 0 (a missing or unreadable
// setting), the system picks one: the port asked for would send clients nowhere.
uint16_t ListeningPort(System::Net::Server* server) {
    return server->GetSocket()->GetLocalEndPoint().SwapEndian().GetPort();
}

}  // namespace

RelayObserver::RelayObserver() : mMessageNames(64, System::Collections::HashFunctions::IntHash) {
    mBandwidthTimer.SetInterval(1.0);
    mSwitchboardTimer.SetInterval(60.0);
    mSaveTimer.SetInterval(300.0);
    mEventManager.Add(mBandwidthTimer.OnTick, this, &RelayObserver::OnBandwidthTimer);
    mEventManager.Add(mSwitchboardTimer.OnTick, this, &RelayObserver::OnSwitchboardTimer);
    mEventManager.Add(mSaveTimer.OnTick, this, &RelayObserver::OnSaveTimer);
    mSaveTimer.Start();

    mMessageNames.Set(10, "Voice Initialization Msg");
    mMessageNames.Set(kChatMessage, "Chat Msg");
    mMessageNames.Set(JoinRoomRequest::MsgId, "Registration Request");
    mMessageNames.Set(150, "Media Info Request");
    mMessageNames.Set(152, "Get Media Request");
    mMessageNames.Set(AddMediaRequest::MsgId, "Add Media Request");
    mMessageNames.Set(157, "Stop Media Transfer");

    ZelvoRelayModel* relay = ZelvoRelayModel::Instance();
    AdminModel* admin = AdminModel::Instance();
    mEventManager.Add(relay->Server.OnHost, this,
                      LineHandler<&RelayObserver::OnRelayHost>::kHandler);
    mEventManager.Add(relay->Server.OnHostFailed, this,
                      LineHandler<&RelayObserver::OnRelayHostFailed>::kHandler);
    mEventManager.Add(relay->Server.OnHostStopped, this,
                      LineHandler<&RelayObserver::OnRelayHostStopped>::kHandler);
    mEventManager.Add(relay->Server.OnClientConnect, this,
                      LineHandler<&RelayObserver::OnRelayHostClientConnect>::kHandler);
    mEventManager.Add(relay->Server.OnMakingPhotos, this,
                      LineHandler<&RelayObserver::OnRelayMakingPhotos>::kHandler);
    mEventManager.Add(relay->Server.OnDiscarded, this,
                      LineHandler<&RelayObserver::OnRelayDiscarded>::kHandler);
    mEventManager.Add(relay->Server.OnAddressBlocked, this,
                      LineHandler<&RelayObserver::OnRelayAddressBlocked>::kHandler);
    mEventManager.Add(relay->Server.OnPhotoFailed, this,
                      LineHandler<&RelayObserver::OnRelayPhotoFailed>::kHandler);
    mEventManager.Add(relay->Server.OnUploadLeft, this,
                      LineHandler<&RelayObserver::OnRelayUploadLeft>::kHandler);
    mEventManager.Add(relay->Server.OnUploadAnswered, this,
                      LineHandler<&RelayObserver::OnRelayUploadAnswered>::kHandler);
    mEventManager.Add(relay->Server.OnUploadEnded, this,
                      LineHandler<&RelayObserver::OnRelayUploadEnded>::kHandler);
    mEventManager.Add(admin->mPolicyServer.OnHost, this,
                      LineHandler<&RelayObserver::OnPolicyHost>::kHandler);
    mEventManager.Add(admin->mPolicyServer.OnHostFailed, this,
                      LineHandler<&RelayObserver::OnPolicyHostFailed>::kHandler);
    mEventManager.Add(admin->mPolicyServer.OnHostStopped, this,
                      LineHandler<&RelayObserver::OnPolicyHostStopped>::kHandler);
    mEventManager.Add(admin->mPolicyServer.OnClientConnect, this,
                      LineHandler<&RelayObserver::OnPolicyHostClientConnect>::kHandler);
    mEventManager.Add(relay->Clients.mValue.CollectionChanged, this,
                      LineHandler<&RelayObserver::OnRelayClientListUpdated>::kHandler);
    mEventManager.Add(admin->mNetwork.SwitchboardState.Changed, this,
                      LineHandler<&RelayObserver::OnSwitchboardStateChanged>::kHandler);
    mEventManager.Add(admin->mNetwork.SwitchboardLoginError.Changed, this,
                      LineHandler<&RelayObserver::OnSwitchboardLoginError>::kHandler);
    mEventManager.Add(admin->mNetwork.SwitchboardUpdateError.Changed, this,
                      LineHandler<&RelayObserver::OnSwitchboardUpdateError>::kHandler);
    mEventManager.Add(AppModel::Instance()->mConfiguration.PropertyChanged, this,
                      &RelayObserver::OnConfigPropertyChanged);
    System::IO::DescriptorRoom::SetListener(&mReserveLog);
}

RelayObserver::~RelayObserver() {
    System::IO::DescriptorRoom::SetListener(nullptr);
}

void RelayObserver::OnBandwidthTimer() {
    // Counts of an address gone quiet would otherwise wait for its next line.
    mAddressLog.ReportDue(AddressLogLimiter::Clock::now());
    mReserveLog.ReportDue();
    AdminModel* admin = AdminModel::Instance();
    NetworkModel& network = admin->mNetwork;
    System::Threading::MonitorLock lock(mTrafficLock);
    const uint64_t received = network.mBytesReceived.load();
    const uint64_t sent = network.mBytesSent.load();
    const bool counting = mBandwidthTimer.IsEnabled();
    network.DownloadRate = counting ? received - mLastBytesReceived : 0;
    network.UploadRate = counting ? sent - mLastBytesSent : 0;
    network.BytesDownloaded = received;
    network.BytesUploaded = sent;
    mLastBytesReceived = received;
    mLastBytesSent = sent;
    admin->mUptime = System::DateTime::Now().GetTime() - admin->mRelayStartTime.load();
}

void RelayObserver::OnSwitchboardTimer() {
    const auto& room = ZelvoRelayModel::Instance()->Room;
    const uint8_t flags = room.GetRoomFlags();
    const int isPublic = room.IsPublic ? 1 : 0;
    RoomUpdateEvent update("", -1, static_cast<int8_t>(flags), isPublic,
                           static_cast<int>(room.MaxClients), static_cast<int>(ClientCount()));
    update.Dispatch();
    PrintLogMessage(String::Parse(
        "Updating switchboard (flags / is public / users): %d, %d, %d/%d\n", flags, isPublic,
        static_cast<int>(ClientCount()), static_cast<int>(room.MaxClients)));
}

void RelayObserver::OnSaveTimer() {
    SaveUserDataEvent save;
    save.Dispatch();
    PrintLogMessage("Saving server state...\n");
}

void RelayObserver::OnRelayHost(System::Net::Server* server) {
    AdminModel* admin = AdminModel::Instance();
    admin->mRelayStartTime = System::DateTime::Now().GetTime();
    admin->mUptime = 0;
    admin->mNetwork.IsRelayServerOnline = true;
    PrintLogMessage(String::Parse("Relay server hosting on port %d\n", ListeningPort(server)));
    mBandwidthTimer.Start();
}

void RelayObserver::OnRelayHostFailed(System::Net::Server* server, const String& error) {
    AdminModel::Instance()->mNetwork.IsRelayServerOnline = false;
    PrintLogMessage(String::Parse("Relay server hosting on port %d failed: %s\n", HostPort(server),
                                  error.CStr()));
    mBandwidthTimer.Stop();
    OnBandwidthTimer();
}

void RelayObserver::OnRelayHostStopped(System::Net::Server*) {
    AdminModel::Instance()->mNetwork.IsRelayServerOnline = false;
    mReserveLog.ReportRemaining();
    // The connections still open leave only as the relay's model goes, after the closing
    // save, where a second stop signal ends the process at once: told then, their leavings
    // and the count of those left out would be lost to it.
    auto& clients = ZelvoRelayModel::Instance()->Clients;
    System::Threading::MonitorLock clientsLock(clients.mMonitor);
    System::Threading::MonitorLock lock(mLock);
    for (uint32_t i = 0; i < clients.mValue.Count(); ++i) {
        TellLeaving(clients.mValue[i]);
    }
    lock.Unlock();
    clientsLock.Unlock();
    mAddressLog.ReportRemaining(AddressLogLimiter::Clock::now());
    PrintLogMessage("Relay server stopped\n");
    mBandwidthTimer.Stop();
    OnBandwidthTimer();
}

void RelayObserver::OnRelayHostClientConnect(System::Net::Server*, System::Net::Client& client) {
    // Closed at once by the relay server (an address blocked for wrong passwords, in debt
    // for its notices, or holding its share of connections that never joined): a line
    // each would let the peer flood the log, so they are only counted.
    if (!client.IsConnected()) {
        mAddressLog.LeaveOut(client.GetEndPoint().GetAddress(), AddressLogLimiter::Kind::Connection,
                             AddressLogLimiter::Clock::now());
        return;
    }
    if (!Logs(client, AddressLogLimiter::Bucket::NotJoined, AddressLogLimiter::Kind::Connection)) {
        return;
    }
    const System::Net::IPEndPoint peer = client.GetEndPoint().SwapEndian();
    PrintLogMessage(String::Parse("Relay server client %s:%d has connected\n",
                                  peer.GetAddress().ToString().CStr(), peer.GetPort()));
}

void RelayObserver::OnRelayMakingPhotos(uint32_t count) {
    PrintLogMessage(String::Parse("Relay server making %u uploaded photo%s before it stops\n",
                                  count, count == 1 ? "" : "s"));
}

void RelayObserver::OnRelayDiscarded(ZelvoRelay::Server::RelayServer::StopWork work,
                                     uint32_t count) {
    const bool messages = work == ZelvoRelay::Server::RelayServer::StopWork::Messages;
    PrintLogMessage(
        String::Parse("Relay server discarded %u %s%s not yet %s, as asked again to stop\n", count,
                      messages ? "received message" : "uploaded photo", count == 1 ? "" : "s",
                      messages ? "handled" : "made"));
}

void RelayObserver::OnRelayAddressBlocked(const System::Net::IPAddress& address) {
    PrintLogMessage(String::Parse(
        "Relay server closing new connections from %s for %d minutes: %u wrong passwords "
        "within %d minutes\n",
        address.SwapEndian().ToString().CStr(),
        static_cast<int>(ZelvoRelay::Collections::AddressTable::kBlockTime.count()),
        ZelvoRelay::Collections::AddressTable::kMaxWrongPasswords,
        static_cast<int>(ZelvoRelay::Collections::AddressTable::kWindow.count())));
}

void RelayObserver::OnRelayPhotoFailed(uint32_t clientId, uint32_t mediaId,
                                       ZelvoRelay::Threading::PhotoFailure failure) {
    // The uploader was answered that its upload was accepted: without this line nothing
    // would tell why its photo never appears.
    PrintLogMessage(
        String::Parse("%s (id: %u) uploaded photo %u, which ended without an item: %s.\n",
                      LoggedName(clientId).CStr(), clientId, mediaId,
                      ZelvoRelay::Threading::DescribePhotoFailure(failure)));
}

void RelayObserver::OnRelayUploadLeft(const String& uploader, uint32_t clientId, uint32_t mediaId,
                                      uint64_t received, uint64_t announced) {
    // Its partial file is removed: without this line a photo that never came could not be
    // told from one lost.
    PrintLogMessage(String::Parse(
        "%s (id: %u) uploaded photo %u, which ended without an item: its uploader left after "
        "%llu of %llu bytes.\n",
        EscapeLogText(uploader).CStr(), clientId, mediaId,
        static_cast<unsigned long long>(received), static_cast<unsigned long long>(announced)));
}

void RelayObserver::OnPolicyHost(System::Net::Server* server) {
    AdminModel::Instance()->mNetwork.IsPolicyServerOnline = true;
    PrintLogMessage(String::Parse("Policy server hosting on port %d\n", ListeningPort(server)));
}

void RelayObserver::OnPolicyHostFailed(System::Net::Server* server, const String& error) {
    AdminModel::Instance()->mNetwork.IsPolicyServerOnline = false;
    PrintLogMessage(String::Parse("Policy server hosting on port %d failed: %s\n", HostPort(server),
                                  error.CStr()));
}

void RelayObserver::OnPolicyHostStopped(System::Net::Server*) {
    AdminModel::Instance()->mNetwork.IsPolicyServerOnline = false;
    mReserveLog.ReportRemaining();
    PrintLogMessage("Policy server stopped\n");
}

void RelayObserver::OnPolicyHostClientConnect(System::Net::Server*, System::Net::Client& client) {
    // Closed at once by the policy server to keep the descriptor reserve: counted by the
    // reserve's log.
    if (!client.IsConnected()) {
        return;
    }
    const System::Net::IPEndPoint peer = client.GetEndPoint().SwapEndian();
    PrintLogMessage(String::Parse("Policy server granting access to %s:%d\n",
                                  peer.GetAddress().ToString().CStr(), peer.GetPort()));
}

void RelayObserver::OnRelayClientListUpdated(void*,
                                             System::Collections::CollectionChangedAction::Action,
                                             ZelvoRelay::Client::RelayClient* added,
                                             ZelvoRelay::Client::RelayClient* removed, int) {
    System::Threading::MonitorLock lock(mLock);
    if (removed != nullptr) {
        TellLeaving(*removed);
        mEventManager.Remove(removed->MessageReceived);
        mEventManager.Remove(removed->GetTcpClient().OnReceiveMessage);
        mEventManager.Remove(removed->GetTcpClient().OnSendMessage);
        mEventManager.Remove(removed->GetUserModel().PropertyChanged);
    }
    if (added != nullptr) {
        KnownClient& known = mClients[added->GetClientId()];
        known.mName = added->GetUserModel().Name.mValue;
        known.mAddress = added->GetTcpClient().GetEndPoint().GetAddress();
        mEventManager.Add(added->GetUserModel().PropertyChanged, this,
                          LineHandler<&RelayObserver::OnRelayUserChanged>::kHandler);
        mEventManager.Add(added->GetTcpClient().OnReceiveMessage, this,
                          &RelayObserver::OnRelayClientReceivedMessage);
        mEventManager.Add(added->GetTcpClient().OnSendMessage, this,
                          &RelayObserver::OnRelayClientSentMessage);
        mEventManager.Add(added->MessageReceived, this,
                          LineHandler<&RelayObserver::OnRelayClientNewMessage>::kHandler);
    }
}

void RelayObserver::OnSwitchboardStateChanged(
    const System::Property<NetworkModel::ConnectionState>& state) {
    if (state.mValue == NetworkModel::Connected) {
        if (AdminModel::Instance()->mConfig.RoomIsPublic.ToBool()) {
            mSwitchboardTimer.Start();
        }
        PrintLogMessage("ZELVO Admin successfully connected to the switchboard.\n");
        return;
    }
    mSwitchboardTimer.Stop();
    if (state.mValue == NetworkModel::Disconnected) {
        PrintLogMessage("ZELVO Admin disconnected from the switchboard.\n");
    }
}

void RelayObserver::OnSwitchboardLoginError(const System::Property<String>& error) {
    if (error.mValue.Length() != 0) {
        PrintLogMessage(
            String::Parse("ZELVO Admin failed to login to the switchboard. Response: %s.\n",
                          AppModel::Instance()->mLocale.Get(error.mValue).CStr()));
    }
}

void RelayObserver::OnSwitchboardUpdateError(const System::Property<String>& error) {
    if (error.mValue.Length() != 0) {
        PrintLogMessage(
            String::Parse("ZELVO Admin failed to update the switchboard. Response: %s.\n",
                          AppModel::Instance()->mLocale.Get(error.mValue).CStr()));
    }
}

void RelayObserver::OnConfigPropertyChanged(void*, const String& key) {
    if (key != "RoomIsPublic") {
        return;
    }
    AdminModel* admin = AdminModel::Instance();
    if (!admin->mConfig.RoomIsPublic.ToBool()) {
        mSwitchboardTimer.Stop();
    } else if (admin->mNetwork.SwitchboardState.Get() == NetworkModel::Connected) {
        mSwitchboardTimer.Start();
    }
}

void RelayObserver::OnRelayClientReceivedMessage(System::Net::Client*, char*, int count) {
    if (count > 0) {
        AdminModel::Instance()->mNetwork.mBytesReceived += static_cast<uint64_t>(count);
    }
}

void RelayObserver::OnRelayClientSentMessage(System::Net::Client*, char*, int, int sent) {
    if (sent > 0) {
        AdminModel::Instance()->mNetwork.mBytesSent += static_cast<uint64_t>(sent);
    }
}

void RelayObserver::OnRelayClientNewMessage(ZelvoRelay::Client::RelayClient* client,
                                            ZelvoRelay::Message::BaseMessage* message) {
    const uint8_t type = message->GetMsgId();
    const auto* entry = mMessageNames.Find(type);
    if (entry == nullptr) {
        return;
    }
    // The name is the observer's own copy: the user's may be changing under the
    // client-collection Monitor, which a room send holds while it queues to every member,
    // and a worker waiting for it to log each chat line would hold up the room's traffic.
    const uint32_t clientId = client->GetClientId();
    String name;
    bool joined = false;
    bool firstJoin = false;
    System::Threading::MonitorLock lock(mLock);
    const auto known = mClients.find(clientId);
    if (known != mClients.end()) {
        name = known->second.mName;
        joined = known->second.mJoined;
        firstJoin = type == JoinRoomRequest::MsgId && !joined && !known->second.mJoinAsked;
        if (firstJoin) {
            known->second.mJoinAsked = true;
        }
    }
    lock.Unlock();
    const auto bucket =
        joined ? AddressLogLimiter::Bucket::Joined : AddressLogLimiter::Bucket::NotJoined;
    // A member's join line and the line of an upload that becomes an item are never left
    // out, though connections at its address may have spent every line. Whether a join is
    // granted is known once it is handled, whether an upload becomes an item once it ends:
    // the line is held until then.
    const bool upload = type == AddMediaRequest::MsgId;
    const bool kept = firstJoin || (joined && upload);
    const bool written =
        kept ? mAddressLog.AllowsHeld(client->GetTcpClient().GetEndPoint().GetAddress(), bucket,
                                      AddressLogLimiter::Clock::now())
             : Logs(client->GetTcpClient(), bucket, AddressLogLimiter::Kind::Message);
    const String line =
        written || kept ? MessageLine(name, clientId, *message, entry->mValue) : String();
    if (written) {
        PrintLogMessage(line);
    }
    if (!upload && (written || !kept)) {
        return;
    }
    // Recorded before the relay is given the request, so before its answer.
    lock.Lock();
    const auto held = mClients.find(clientId);
    if (held != mClients.end()) {
        if (upload) {
            held->second.mUploadLines.push_back(written ? String() : line);
        } else {
            held->second.mHeldJoinLine = line;
        }
    }
}

void RelayObserver::OnRelayUploadAnswered(uint32_t clientId, uint32_t mediaId, bool accepted) {
    String line;
    System::Net::IPAddress address;
    System::Threading::MonitorLock lock(mLock);
    const auto known = mClients.find(clientId);
    if (known != mClients.end() && !known->second.mUploadLines.empty()) {
        line = known->second.mUploadLines.front();
        known->second.mUploadLines.pop_front();
        address = known->second.mAddress;
        // Written when accepted, the lines of a member announcing uploads and stopping them
        // over and over were bounded by nothing.
        if (accepted && line.Length() != 0) {
            known->second.mHeldUploads.emplace_back(mediaId, line);
        }
    }
    lock.Unlock();
    if (!accepted && line.Length() != 0) {
        mAddressLog.LeaveOut(address, AddressLogLimiter::Kind::Message,
                             AddressLogLimiter::Clock::now());
    }
}

void RelayObserver::OnRelayUploadEnded(uint32_t clientId, uint32_t mediaId, bool item) {
    String line;
    System::Net::IPAddress address;
    System::Threading::MonitorLock lock(mLock);
    const auto known = mClients.find(clientId);
    if (known != mClients.end()) {
        auto& held = known->second.mHeldUploads;
        const auto upload = std::find_if(held.begin(), held.end(), [mediaId](const auto& entry) {
            return entry.first == mediaId;
        });
        if (upload != held.end()) {
            line = upload->second;
            address = known->second.mAddress;
            held.erase(upload);
        }
    }
    lock.Unlock();
    if (line.Length() == 0) {
        return;
    }
    if (item) {
        PrintLogMessage(line);
    } else {
        mAddressLog.LeaveOut(address, AddressLogLimiter::Kind::Message,
                             AddressLogLimiter::Clock::now());
    }
}

String RelayObserver::MessageLine(const String& name, uint32_t clientId,
                                  ZelvoRelay::Message::BaseMessage& message,
                                  const String& typeName) {
    // Names and chat come from clients: unescaped, a line feed or a terminal sequence in
    // them would forge or garble log lines.
    if (message.GetMsgId() == kChatMessage) {
        const auto& chat = static_cast<ZelvoRelay::Message::Chat::ChatMessage&>(message);
        return String::Parse("%s (id: %u) sent a chat msg. %s\n", EscapeLogText(name).CStr(),
                             clientId, EscapeLogText(chat.GetMessage()).CStr());
    }
    return String::Parse("%s (id: %u) sent %d (%s).\n", EscapeLogText(name).CStr(), clientId,
                         message.GetMsgId(), typeName.CStr());
}

void RelayObserver::OnRelayUserChanged(void* user, const String& property) {
    const auto* model = static_cast<ZelvoRelay::MVC::Model::UserModel*>(user);
    System::Threading::MonitorLock lock(mLock);
    const auto known = mClients.find(model->ClientId.mValue);
    if (known != mClients.end()) {
        if (property == "Name") {
            known->second.mName = model->Name.mValue;
        } else if (property == "IsRegistered" && model->IsRegistered.mValue) {
            known->second.mJoined = true;
            if (known->second.mHeldJoinLine.Length() != 0) {
                PrintLogMessage(known->second.mHeldJoinLine);
                known->second.mHeldJoinLine = String();
            }
        }
    }
}

void RelayObserver::TellLeaving(ZelvoRelay::Client::RelayClient& client) {
    const auto known = mClients.find(client.GetClientId());
    if (known == mClients.end()) {
        return;
    }
    const System::Net::Client& connection = client.GetTcpClient();
    const auto now = AddressLogLimiter::Clock::now();
    // Held lines of requests that can no longer be granted, and of uploads that can no
    // longer become items.
    const uint64_t held = (known->second.mHeldJoinLine.Length() != 0 ? 1 : 0) +
                          static_cast<uint64_t>(std::count_if(
                              known->second.mUploadLines.begin(), known->second.mUploadLines.end(),
                              [](const String& line) { return line.Length() != 0; })) +
                          known->second.mHeldUploads.size();
    for (uint64_t i = 0; i < held; ++i) {
        mAddressLog.LeaveOut(connection.GetEndPoint().GetAddress(),
                             AddressLogLimiter::Kind::Message, now);
    }
    const auto bucket = known->second.mJoined ? AddressLogLimiter::Bucket::Joined
                                              : AddressLogLimiter::Bucket::NotJoined;
    if (Logs(connection, bucket, AddressLogLimiter::Kind::Leaving)) {
        const auto& user = client.GetUserModel();
        PrintLogMessage(String::Parse("%s (id: %u) has left the room.\n",
                                      EscapeLogText(user.Name.mValue).CStr(),
                                      user.ClientId.mValue));
    }
    mClients.erase(known);
}

bool RelayObserver::Logs(const System::Net::Client& client, AddressLogLimiter::Bucket bucket,
                         AddressLogLimiter::Kind kind) {
    return mAddressLog.Allows(client.GetEndPoint().GetAddress(), bucket, kind,
                              AddressLogLimiter::Clock::now());
}

String RelayObserver::LoggedName(uint32_t clientId) {
    System::Threading::MonitorLock lock(mLock);
    const auto known = mClients.find(clientId);
    const String name = known != mClients.end() ? known->second.mName : String();
    lock.Unlock();
    return EscapeLogText(name);
}

uint32_t RelayObserver::ClientCount() {
    auto& clients = ZelvoRelayModel::Instance()->Clients;
    System::Threading::MonitorLock lock(clients.mMonitor);
    const uint32_t count = clients.mValue.Count();
    return count;
}
