#include "ZelvoRelay/MVC/Commands/NewRelayClientCommand.h"

#include <limits>

#include "System/IO/DescriptorLimit.h"
#include "System/Net/Socket.h"
#include "System/Net/SocketType.h"
#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/MVC/Events/NewRelayClientEvent.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Threading/ClientThreadWorker.h"

namespace ZelvoRelay::MVC::Commands {

namespace {

Threading::ClientThreadWorker* Worker(System::Threading::ThreadManager& workers, unsigned int i) {
    return static_cast<Threading::ClientThreadWorker*>(workers.GetThread(i));
}

// Whether socket holds a descriptor of the reserve kept for the saves.
bool InReserve(const System::Net::Socket& socket) {
    return System::IO::DescriptorLimit::IsReserved(socket.GetSocket());
}

// Closes the connection that has waited longest without joining, among those of every
// client worker; false when every open connection has joined.
bool CloseOldestUnjoined(System::Threading::ThreadManager& workers) {
    for (;;) {
        Threading::ClientThreadWorker* oldest = nullptr;
        double deadline = std::numeric_limits<double>::infinity();
        for (unsigned int i = 0; i < workers.GetNumThread(); ++i) {
            const double due = Worker(workers, i)->OldestJoinDeadline();
            if (due < deadline) {
                deadline = due;
                oldest = Worker(workers, i);
            }
        }
        // One that has joined or gone since it was found leaves the next to close.
        if (oldest == nullptr || oldest->CloseOldestUnjoined()) {
            return oldest != nullptr;
        }
    }
}

// Gives a new connection (tcp) and its UDP socket (udp, opened here when it could not be
// before) descriptors below the reserve: lower numbers freed since they were taken, or else
// those of the connections that have waited longest without joining, closed for it. Were
// it refused instead, one peer's connections that never join would shut every member out
// once they held every descriptor. False when every open connection has joined.
bool KeepOutOfReserve(System::Threading::ThreadManager& workers, System::Net::Socket& tcp,
                      System::Net::Socket& udp) {
    for (;;) {
        if (InReserve(tcp)) {
            tcp.TakeLowestNumber();
        }
        if (udp.GetSocket() < 0) {
            udp = System::Net::Socket(System::Net::SocketType::UDP(), true);
        } else if (InReserve(udp)) {
            udp.TakeLowestNumber();
        }
        if (!InReserve(tcp) && udp.GetSocket() >= 0 && !InReserve(udp)) {
            return true;
        }
        if (!CloseOldestUnjoined(workers)) {
            return false;
        }
    }
}

}  // namespace

void NewRelayClientCommand::Execute(System::MVC::EventDispatcher* event) {
    auto& connection = static_cast<Events::NewRelayClientEvent*>(event)->mConnection;
    Model::ZelvoRelayModel* model = Model::ZelvoRelayModel::Instance();

    mMonitor.Enter();
    System::Net::Socket udp(System::Net::SocketType::UDP(), true);
    if (!KeepOutOfReserve(model->ClientWorkers, *connection.GetSocket(), udp)) {
        // The UDP descriptor first, so that nothing of it is held once its peer sees it
        // closed.
        udp.Close();
        connection.GetSocket()->Close();
        mMonitor.Exit();
        model->Server.OnClientRefused.Raise(&model->Server);
        return;
    }
    model->Clients.mMonitor.Enter();
    // Id 0 is never given out, and once the counter has wrapped an id still in use is
    // skipped: two clients with one id would make routing and lookup ambiguous.
    while (mNextClientId == 0 || model->Clients.mValue.FindClient(mNextClientId) != nullptr) {
        ++mNextClientId;
    }
    auto* client = new Client::RelayClient(connection, udp, mNextClientId++);
    model->Clients.mValue.Add(*client);
    model->Clients.mMonitor.Exit();

    Threading::ClientThreadWorker* chosen = nullptr;
    for (unsigned int i = 0; i < model->ClientWorkers.GetNumThread(); ++i) {
        Threading::ClientThreadWorker* worker = Worker(model->ClientWorkers, i);
        if (chosen == nullptr || worker->GetNumClient() < chosen->GetNumClient()) {
            chosen = worker;
        }
    }
    chosen->Add(client);
    mMonitor.Exit();
}

}  // namespace ZelvoRelay::MVC::Commands
