#include "ZelvoRelay/Threading/ServerThreadWorker.h"

#include "System/Net/IPEndPoint.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

namespace ZelvoRelay::Threading {

ServerThreadWorker::ServerThreadWorker() {
    mPoller.Add(mWake.GetDescriptor(), &mWake);
}

void ServerThreadWorker::Run() {
    char buffer[kReceiveBufferSize];
    System::Net::IPEndPoint from;
    auto& server = MVC::Model::ZelvoRelayModel::Instance()->Server;
    const int descriptor = server.GetUdpSocket().GetSocket();
    mPoller.Add(descriptor, &server);
    System::Net::Poller::Ready ready[2];
    while (true) {
        // Cleared before the state is read: a Stop after this signals again, and the
        // wait below returns at once.
        mWake.Clear();
        if (GetThreadState() == 0) {
            break;
        }
        // Read to the end: readiness is reported again only for what comes after.
        while (server.Receive(buffer, 0, kReceiveBufferSize, from) >= 0) {
        }
        mPoller.Wait(ready, 2, -1);
    }
    mPoller.Remove(descriptor);
}

void ServerThreadWorker::Wake() {
    mWake.Signal();
}

}  // namespace ZelvoRelay::Threading
