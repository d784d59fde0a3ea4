#include "ZelvoRelay/Threading/ServerThreadWorker.h"

#include "System/Net/IPEndPoint.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

namespace ZelvoRelay::Threading {

void ServerThreadWorker::Run() {
    char buffer[kReceiveBufferSize];
    System::Net::IPEndPoint from;
    auto& server = MVC::Model::ZelvoRelayModel::Instance()->Server;
    while (GetThreadState() != 0) {
        server.Receive(buffer, 0, kReceiveBufferSize, from);
        Sleep(1);
    }
}

}  // namespace ZelvoRelay::Threading
