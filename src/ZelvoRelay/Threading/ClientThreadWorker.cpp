#include "ZelvoRelay/Threading/ClientThreadWorker.h"

#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/MVC/Events/RemoveRelayClientEvent.h"

namespace ZelvoRelay::Threading {

void ClientThreadWorker::Add(Client::RelayClient* client) {
    mClientList.mMonitor.Enter();
    mClientList.mValue.Add(client);
    mNumClients = mClientList.mValue.Count();
    mClientList.mMonitor.Exit();
}

// The list is not emptied when the worker starts: a client accepted between the start
// of the listener and the start of the workers is already in it and would be lost.
void ClientThreadWorker::Run() {
    char buffer[kReceiveBufferSize];
    while (GetThreadState() != 0) {
        for (int pass = 0; pass < kPasses && GetThreadState() != 0; ++pass) {
            Pass(buffer);
        }
        Sleep(1);
    }
    mClientList.mMonitor.Enter();
    auto& list = mClientList.mValue;
    for (uint32_t i = 0; i < list.Count(); ++i) {
        list[i]->Disconnect();
    }
    list.Clear();
    mNumClients = 0;
    mClientList.mMonitor.Exit();
}

void ClientThreadWorker::Pass(char* buffer) {
    mClientList.mMonitor.Enter();
    auto& list = mClientList.mValue;
    uint32_t i = 0;
    while (i < list.Count()) {
        Client::RelayClient* client = list[i];
        if (!client->IsConnected()) {
            MVC::Events::RemoveRelayClientEvent event(client);
            event.Dispatch();
            list.RemoveAt(i);
            mNumClients = list.Count();
            continue;
        }
        client->Receive(buffer, 0, kReceiveBufferSize);
        client->Send();
        ++i;
    }
    mClientList.mMonitor.Exit();
}

}  // namespace ZelvoRelay::Threading
