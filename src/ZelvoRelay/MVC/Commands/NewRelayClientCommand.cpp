#include "ZelvoRelay/MVC/Commands/NewRelayClientCommand.h"

#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/MVC/Events/NewRelayClientEvent.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Threading/ClientThreadWorker.h"

namespace ZelvoRelay::MVC::Commands {

void NewRelayClientCommand::Execute(System::MVC::EventDispatcher* event) {
    auto& connection = static_cast<Events::NewRelayClientEvent*>(event)->mConnection;
    Model::ZelvoRelayModel* model = Model::ZelvoRelayModel::Instance();

    mMonitor.Enter();
    model->Clients.mMonitor.Enter();
    // Id 0 is never given out, and once the counter has wrapped an id still in use is
    // skipped: two clients with one id would make routing and lookup ambiguous.
    while (mNextClientId == 0 || model->Clients.mValue.FindClient(mNextClientId) != nullptr) {
        ++mNextClientId;
    }
    auto* client = new Client::RelayClient(connection, mNextClientId++);
    // Closed by its constructor: its UDP descriptor would have taken one of the reserve.
    if (connection.IsConnected() && !client->IsConnected()) {
        model->Clients.mMonitor.Exit();
        mMonitor.Exit();
        delete client;
        model->Server.OnClientRefused.Raise(&model->Server);
        return;
    }
    model->Clients.mValue.Add(*client);
    model->Clients.mMonitor.Exit();

    Threading::ClientThreadWorker* chosen = nullptr;
    for (unsigned int i = 0; i < model->ClientWorkers.GetNumThread(); ++i) {
        auto* worker =
            static_cast<Threading::ClientThreadWorker*>(model->ClientWorkers.GetThread(i));
        if (chosen == nullptr || worker->GetNumClient() < chosen->GetNumClient()) {
            chosen = worker;
        }
    }
    chosen->Add(client);
    mMonitor.Exit();
}

}  // namespace ZelvoRelay::MVC::Commands
