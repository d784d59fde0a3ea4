#include "ZelvoRelay/Server/RelayServer.h"

#include <algorithm>
#include <future>

#include "System/IO/DescriptorRoom.h"
#include "System/Net/Net.h"
#include "System/Net/SocketType.h"
#include "System/Threading/MonitorLock.h"
#include "System/Utility/FailPoint.h"
#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/MVC/Events/NewRelayClientEvent.h"
#include "ZelvoRelay/MVC/MVCInit.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/PostAction/PostSendMediaChunk.h"
#include "ZelvoRelay/Threading/ClientThreadWorker.h"
#include "ZelvoRelay/Threading/MessageThreadWorker.h"
#include "ZelvoRelay/Threading/PhotoThreadWorker.h"
#include "ZelvoRelay/Threading/StopDiscard.h"
#include "ZelvoRelay/Threading/StopMark.h"

namespace ZelvoRelay::Server {

namespace {

// Each work that a stop asked again discards.
constexpr RelayServer::StopWork kStopWork[] = {RelayServer::StopWork::Messages,
                                               RelayServer::StopWork::Photos};

// CloseOneUnjoined with the turns of the client workers from worker on paused, in the
// manager's order; they resume in the reverse order once the closing is done.
bool CloseOneUnjoinedPausing(unsigned int worker) {
    auto* model = MVC::Model::ZelvoRelayModel::Instance();
    if (worker < model->ClientWorkers.GetNumThread()) {
        const System::Threading::MonitorLock paused = model->ClientWorker(worker).PauseTurns();
        return CloseOneUnjoinedPausing(worker + 1);
    }
    auto& clients = model->Clients;
    System::Threading::MonitorLock lock(clients.mMonitor);
    Client::RelayClient* oldest = clients.mValue.TakeOldestUnjoined();
    if (oldest != nullptr) {
        // No worker is in a turn: nothing reads or sends on its descriptors as they are freed.
        oldest->Disconnect();
        // Left open until its worker removes it, the file it downloads would keep a
        // descriptor from the one that asked, and each closing would serve a request only
        // in part.
        PostAction::PostSendMediaChunk::EndClient(oldest->GetClientId());
    }
    return oldest != nullptr;
}

// Closes the connection that has not joined, the oldest of the address that holds the most
// such connections, as its time to join running out would, freeing every descriptor it
// holds (its sockets and its downloads' files) before the one that asked is served; false
// when none is open. Whoever holds fewer is closed only when no one holds more, so one
// party's connections that never join cannot shut out a newcomer that takes a moment.
// REQUIRES: off the client workers, whose turns it waits for (a download starting on one
// leaves its start to the message worker).
bool CloseOneUnjoined() {
    return CloseOneUnjoinedPausing(0);
}

// Whether address already holds as many connections that have not joined as it may.
bool AtUnjoinedBound(const System::Net::IPAddress& address) {
    auto* model = MVC::Model::ZelvoRelayModel::Instance();
    System::Threading::MonitorLock lock(model->Clients.mMonitor);
    const uint32_t held = model->Clients.mValue.NumUnjoined(address);
    lock.Unlock();
    return held >= std::max(RelayServer::kMaxUnjoinedPerAddress, model->Room.MaxClients);
}

}  // namespace

RelayServer::RelayServer() : System::Net::Server(System::Net::INetwork::TCP) {
    mEvents.Add(OnHostFailed, this, &RelayServer::OnHostingFailed);
    mEvents.Add(OnHostStopped, this, &RelayServer::OnDisconnected);
    mEvents.Add(OnClientConnect, this, &RelayServer::OnClientConnected);
    MVC::MVCInit::Initialize();
}

RelayServer::~RelayServer() {
    Disconnect();
    MVC::MVCInit::Deinitialize();
}

int RelayServer::Receive(char* buffer, uint32_t offset, uint32_t size,
                         System::Net::IPEndPoint& from) {
    return mUdpSocket.Receive(buffer, offset, size, from);
}

void RelayServer::Disconnect(bool (*discard)()) {
    for (const StopWork work : kStopWork) {
        DiscardOf(work).DiscardWhen(discard);
    }
    Disconnect();
}

System::String RelayServer::OnHosting() {
    // The listener's own address: the same as the one given to Host, and the port the
    // platform chose when that was 0.
    mUdpSocket = System::Net::Socket(System::Net::SocketType::UDP());
    mUdpSocket.EnableBlocking(false);
    mUdpSocket.Host(GetSocket()->GetLocalEndPoint());

    auto* model = MVC::Model::ZelvoRelayModel::Instance();
    // What the last stop set for itself.
    model->MessageWorker().ResumeAnswers();
    for (const StopWork work : kStopWork) {
        DiscardOf(work).Reset();
    }
    model->HeldUploaders.ResumeHolds();
    System::IO::DescriptorRoom::SetCloser(&CloseOneUnjoined);
    System::Threading::ThreadManager* const workers[] = {
        &model->ClientWorkers, &model->MessageWorkers, &model->ServerWorkers, &model->PhotoWorkers};
    int error = 0;
    System::Threading::MonitorLock lock(*this);
    for (System::Threading::ThreadManager* group : workers) {
        if (!group->Start()) {
            error = group->GetStartError();
            break;
        }
    }
    lock.Unlock();
    // Hosting without one of them would leave clients waiting on it for ever: with no
    // photo worker, an uploader's later messages wait behind its photo and it never
    // leaves. The hosting-failed handler stops those that started.
    if (error != 0) {
        return System::String::Parse("a relay worker cannot start: %s",
                                     System::Net::Net::GetError(error).CStr());
    }
    return System::String();
}

void RelayServer::OnHostingFailed(System::Net::Server*, const System::String&) {
    StopHosting();
}

void RelayServer::OnDisconnected(System::Net::Server*) {
    StopHosting();
}

void RelayServer::StopHosting() {
    System::Threading::MonitorLock lock(*this);
    StopWorkers();
    lock.Unlock();
    EndHosting();
}

void RelayServer::StopWorkers() {
    auto* model = MVC::Model::ZelvoRelayModel::Instance();
    model->ClientWorkers.Stop(true);
    // From here on nothing is sent to any member, so an answer or a relay would reach
    // nobody: what members piled up in their sockets would otherwise hold the stop for
    // as long as its answers take to make (a member's pipelined listings held it 41 s).
    model->MessageWorker().EndAnswers();
    ReadWhatClientsSent();
    HandleReceivedMessages();
    MakeWaitingPhotos();
    model->MessageWorkers.Stop(true);
    model->ServerWorkers.Stop(true);
}

void RelayServer::ReadWhatClientsSent() {
    auto* model = MVC::Model::ZelvoRelayModel::Instance();
    for (unsigned int i = 0; i < model->ClientWorkers.GetNumThread(); ++i) {
        model->ClientWorker(i).ReadRestAndClose();
    }
}

void RelayServer::HandleReceivedMessages() {
    auto* model = MVC::Model::ZelvoRelayModel::Instance();
    if (model->MessageWorkers.GetNumRunning() == 0) {
        return;
    }
    auto* mark = new Threading::StopMark();
    std::future<void> reached = mark->GetReached();
    model->Messages.mTasks.EnqueueAfterAll(mark);
    reached.wait();
    TellDiscarded(StopWork::Messages);
}

void RelayServer::MakeWaitingPhotos() {
    auto* model = MVC::Model::ZelvoRelayModel::Instance();
    Threading::PhotoThreadWorker& photos = model->PhotoWorker();
    // Told before the wait, so that an operator knows why the stop takes a moment.
    const uint32_t waiting = photos.GetNumToMake();
    if (waiting > 0) {
        OnMakingPhotos.Raise(waiting);
    }
    // Stopped before the message worker, which applies the outcomes as it stops in
    // turn: the other way round, a complete upload would be thrown away, or its
    // preview left in the media folder with no item.
    model->PhotoWorkers.Stop(true);
    TellDiscarded(StopWork::Photos);
}

void RelayServer::EndHosting() {
    System::IO::DescriptorRoom::SetCloser(nullptr);
    auto& uploads = MVC::Model::ZelvoRelayModel::Instance()->Uploads;
    // Uploads still in progress end as a leaving client's do; their partial files
    // would otherwise stay under the media path with nothing referring to them.
    System::Threading::MonitorLock lock(uploads.mMonitor);
    uploads.DiscardUploads();
    lock.Unlock();
    mUdpSocket.Close();
}

Threading::StopDiscard& RelayServer::DiscardOf(StopWork work) {
    auto* model = MVC::Model::ZelvoRelayModel::Instance();
    return work == StopWork::Messages ? model->MessageWorker().GetStopDiscard()
                                      : model->PhotoWorker().GetStopDiscard();
}

void RelayServer::TellDiscarded(StopWork work) {
    const uint32_t discarded = DiscardOf(work).GetNumDiscarded();
    if (discarded > 0) {
        OnDiscarded.Raise(work, discarded);
    }
}

void RelayServer::OnClientConnected(System::Net::Server*, System::Net::Client& accepted) {
    System::Utility::FailPoint::Check("accept");
    // Closed before it becomes a client, so a peer guessing passwords, cycling
    // connections or holding many that never join costs no client id, no notice to the
    // members and no read.
    if (MVC::Model::ZelvoRelayModel::Instance()->Addresses.IsRefused(
            accepted.GetEndPoint().GetAddress(), Collections::AddressTable::Clock::now()) ||
        AtUnjoinedBound(accepted.GetEndPoint().GetAddress())) {
        accepted.GetSocket()->Close();
        return;
    }
    MVC::Events::NewRelayClientEvent event(accepted);
    event.Dispatch();
}

}  // namespace ZelvoRelay::Server
