#include "ZelvoRelay/MVC/Commands/NewRelayClientCommand.h"

#include "System/IO/DescriptorRoom.h"
#include "System/Net/Socket.h"
#include "System/Net/SocketType.h"
#include "System/Threading/MonitorLock.h"
#include "System/Utility/FailPoint.h"
#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/MVC/Events/NewRelayClientEvent.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Threading/ClientThreadWorker.h"

#include <memory>
#include <new>

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

// The client worker serving the fewest clients.
Threading::ClientThreadWorker& LeastLoaded(Model::ZelvoRelayModel& model) {
    Threading::ClientThreadWorker* chosen = &model.ClientWorker(0);
    for (unsigned int i = 1; i < model.ClientWorkers.GetNumThread(); ++i) {
        Threading::ClientThreadWorker* worker = &model.ClientWorker(i);
        if (worker->GetNumClient() < chosen->GetNumClient()) {
            chosen = worker;
        }
    }
    return *chosen;
}

// Adds client to the collection and hands it to worker, whose turns are paused. Throws
// std::bad_alloc when memory runs out, with neither holding the client.
// REQUIRES: the client-collection monitor.
void TakeIn(Model::ZelvoRelayModel& model, Threading::ClientThreadWorker& worker,
            Client::RelayClient& client) {
    System::Utility::FailPoint::Check("new-client");
    model.Clients.mValue.Add(client);
    const auto remove = [&model](Client::RelayClient* added) {
        model.Clients.mValue.Remove(*added);
    };
    std::unique_ptr<Client::RelayClient, decltype(remove)> listed(&client, remove);
    worker.Add(&client);
    listed.release();
}

}  // namespace

void NewRelayClientCommand::Execute(System::MVC::EventDispatcher* event) {
    auto& connection = static_cast<Events::NewRelayClientEvent*>(event)->mConnection;
    Model::ZelvoRelayModel* model = Model::ZelvoRelayModel::Instance();

    System::Threading::MonitorLock lock(mMonitor);
    System::Net::Socket udp(System::Net::SocketType::UDP(), true);
    // Closed here until the client holds it: a client that could not be made left it open.
    const auto close = [](System::Net::Socket* socket) { socket->Close(); };
    std::unique_ptr<System::Net::Socket, decltype(close)> udpHeld(&udp, close);
    if (!KeepOutOfReserve(*connection.GetSocket(), udp)) {
        // The UDP descriptor first, so that nothing of it is held once its peer sees it
        // closed.
        udpHeld.reset();
        connection.GetSocket()->Close();
        return;
    }
    Threading::ClientThreadWorker& worker = LeastLoaded(*model);
    // The worker does not serve the client before it is wholly taken in, and no member is
    // admitted meanwhile: one admitted then is told of the client, which may yet be undone.
    const System::Threading::MonitorLock paused = worker.PauseTurns();
    System::Threading::MonitorLock clientsLock(model->Clients.mMonitor);
    // Id 0 is never given out, and once the counter has wrapped an id still in use is
    // skipped: two clients with one id would make routing and lookup ambiguous.
    while (mNextClientId == 0 || model->Clients.mValue.FindClient(mNextClientId) != nullptr) {
        ++mNextClientId;
    }
    // A failure to make it reaches the accept loop, which closes the connection.
    auto client = std::make_unique<Client::RelayClient>(connection, udp, mNextClientId++);
    udpHeld.release();
    // From here the client holds the connection, and deleting it closes both descriptors. A
    // failure goes no further, so that the accept loop does not close the connection's number
    // a second time: by then it may be another connection's or a file's.
    try {
        TakeIn(*model, worker, *client);
        client.release();
    } catch (const std::bad_alloc&) {
    }
}

}  // namespace ZelvoRelay::MVC::Commands
