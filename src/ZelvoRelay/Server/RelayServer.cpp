#include "ZelvoRelay/Server/RelayServer.h"

#include "System/Net/SocketType.h"
#include "ZelvoRelay/MVC/Events/NewRelayClientEvent.h"
#include "ZelvoRelay/MVC/MVCInit.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

namespace ZelvoRelay::Server {

RelayServer::RelayServer() : System::Net::Server(System::Net::INetwork::TCP) {
    mEvents.Add(OnHost, this, &RelayServer::OnHosting);
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

void RelayServer::OnHosting(System::Net::Server*) {
    // The listener's own address: the same as the one given to Host, and the port the
    // platform chose when that was 0.
    mUdpSocket = System::Net::Socket(System::Net::SocketType::UDP());
    mUdpSocket.EnableBlocking(false);
    mUdpSocket.Host(GetSocket()->GetLocalEndPoint());

    auto* model = MVC::Model::ZelvoRelayModel::Instance();
    Enter();
    model->ClientWorkers.Start();
    model->MessageWorkers.Start();
    model->ServerWorkers.Start();
    model->PhotoWorkers.Start();
    Exit();
}

void RelayServer::OnDisconnected(System::Net::Server*) {
    auto* model = MVC::Model::ZelvoRelayModel::Instance();
    Enter();
    model->ClientWorkers.Stop(true);
    // The photo worker stops first: its stop waits for the photo being made, whose
    // outcome the message worker applies as it stops in turn. Stopped the other way
    // round, a complete upload would be thrown away at shutdown, or its preview left
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
