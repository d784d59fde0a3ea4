#include "ZelvoRelay/MVC/Commands/NewRelayClientCommand.h"

#include "System/IO/DescriptorRoom.h"
#include "System/Net/Socket.h"
#include "System/Net/SocketType.h"
#include "System/Threading/MonitorLock.h"
#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/MVC/Events/NewRelayClientEvent.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Threading/ClientThreadWorker.h"

namespace ZelvoRelay::MVC::Commands {

namespace {

// Gives a new connection (tcp) and its UDP socket (udp, opened here when it could not be
// before) descriptors below the reserve: lower numbers freed since they were taken, or else
// those of connections that have not joined, closed for it. Were it refused instead, one
// peer's connections that never join would shut every member out once they held every
// descriptor. False when no connection that has not joined is left to close.
bool KeepOutOfReserve(System::Net::Socket& tcp, System::Net::Socket& udp) {
    using System::IO::DescriptorRoom;
    if (!tcp.LeaveReserve(DescriptorRoom::Use::Connection)) {
        return false;
    }
    while (udp.GetSocket() < 0) {
        udp = System::Net::Socket(System::Net::SocketType::UDP(), true);
        if (udp.GetSocket() < 0 && !DescriptorRoom::Make(DescriptorRoom::Use::Connection)) {
            return false;
        }
    }
    return udp.LeaveReserve(DescriptorRoom::Use::Connection);
}

}  // namespace

void NewRelayClientCommand::Execute(System::MVC::EventDispatcher* event) {
    auto& connection = static_cast<Events::NewRelayClientEvent*>(event)->mConnection;
    Model::ZelvoRelayModel* model = Model::ZelvoRelayModel::Instance();

    System::Threading::MonitorLock lock(mMonitor);
    System::Net::Socket udp(System::Net::SocketType::UDP(), true);
    if (!KeepOutOfReserve(*connection.GetSocket(), udp)) {
        // The UDP descriptor first, so that nothing of it is held once its peer sees it
        // closed.
        udp.Close();
        connection.GetSocket()->Close();
        return;
    }
    System::Threading::MonitorLock clientsLock(model->Clients.mMonitor);
    // Id 0 is never given out, and once the counter has wrapped an id still in use is
    // skipped: two clients with one id would make routing and lookup ambiguous.
    while (mNextClientId == 0 || model->Clients.mValue.FindClient(mNextClientId) != nullptr) {
        ++mNextClientId;
    }
    auto* client = new Client::RelayClient(connection, udp, mNextClientId++);
    model->Clients.mValue.Add(*client);
    clientsLock.Unlock();

    Threading::ClientThreadWorker* chosen = nullptr;
    for (unsigned int i = 0; i < model->ClientWorkers.GetNumThread(); ++i) {
        Threading::ClientThreadWorker* worker = &model->ClientWorker(i);
        if (chosen == nullptr || worker->GetNumClient() < chosen->GetNumClient()) {
            chosen = worker;
        }
    }
    chosen->Add(client);
}

}  // namespace ZelvoRelay::MVC::Commands
