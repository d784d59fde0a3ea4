#include "ZelvoRelay/Server/RelayServer.h"

#include "System/Net/Net.h"
#include "System/Net/SocketType.h"
#include "ZelvoRelay/MVC/Events/NewRelayClientEvent.h"
#include "ZelvoRelay/MVC/MVCInit.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Threading/PhotoThreadWorker.h"

namespace ZelvoRelay::Server {

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

System::String RelayServer::OnHosting() {
    // The listener's own address: the same as the one given to Host, and the port the
    // platform chose when that was 0.
    mUdpSocket = System::Net::Socket(System::Net::SocketType::UDP());
    mUdpSocket.EnableBlocking(false);
    mUdpSocket.Host(GetSocket()->GetLocalEndPoint());

    auto* model = MVC::Model::ZelvoRelayModel::Instance();
    System::Threading::ThreadManager* const workers[] = {
        &model->ClientWorkers, &model->MessageWorkers, &model->ServerWorkers, &model->PhotoWorkers};
    int error = 0;
    Enter();
    for (System::Threading::ThreadManager* group : workers) {
        if (!group->Start()) {
            error = group->GetStartError();
            break;
        }
    }
    Exit();
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
    StopWorkers();
}

void RelayServer::OnDisconnected(System::Net::Server*) {
    StopWorkers();
}

void RelayServer::StopWorkers() {
    auto* model = MVC::Model::ZelvoRelayModel::Instance();
    Enter();
    model->ClientWorkers.Stop(true);
    // Told before the wait, so that an operator knows why the stop takes a moment.
    const uint32_t photos =
        static_cast<Threading::PhotoThreadWorker*>(model->PhotoWorkers.GetThread(0))
            ->GetNumToMake();
    if (photos > 0) {
        OnMakingPhotos.Raise(photos);
    }
    // The photo worker stops first: its stop waits for the photos it has still to make,
    // whose outcomes the message worker applies as it stops in turn. Stopped the other
    // way round, a complete upload would be thrown away at shutdown, or its preview left
    // in the media folder with no item.
    model->PhotoWorkers.Stop(true);
    model->MessageWorkers.Stop(true);
    model->ServerWorkers.Stop(true);
    Exit();
    // Uploads still in progress end as a leaving client's do; their partial files
    // would otherwise stay under the media path with nothing referring to them.
    model->Uploads.mMonitor.Enter();
    model->Uploads.DiscardUploads();
    model->Uploads.mMonitor.Exit();
    mUdpSocket.Close();
}

void RelayServer::OnClientConnected(System::Net::Server*, System::Net::Client& accepted) {
    MVC::Events::NewRelayClientEvent event(accepted);
    event.Dispatch();
}

}  // namespace ZelvoRelay::Server
