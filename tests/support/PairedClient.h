#pragma once

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "System/Net/Client.h"
#include "System/Net/IPEndPoint.h"
#include "System/Net/Socket.h"
#include "System/Threading/MonitorLock.h"
#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "support/RawSocket.h"

namespace TestSupport {

// A relay client over one end of a socket pair, the test reading the other end, for tests
// that drive the relay's model without its threads. Header-only: the support library itself
// does not link the relay.
struct PairedClient {
    explicit PairedClient(uint32_t clientId) {
        int pair[2];
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
        client = new ZelvoRelay::Client::RelayClient(
            System::Net::Client(System::Net::Socket(pair[0], true), System::Net::IPEndPoint()),
            clientId);
        peer = pair[1];
    }
    ~PairedClient() { close(peer); }
    PairedClient(const PairedClient&) = delete;
    PairedClient& operator=(const PairedClient&) = delete;

    // Sends what is queued for the client and returns what reached its peer.
    std::string Received() const {
        client->Send();
        return ReceiveWaiting(peer);
    }

    ZelvoRelay::Client::RelayClient* client;  // owned by the model's collection from Admit on
    int peer;
};

// Adds the client to the room's connections and admits it.
inline void Admit(PairedClient& paired) {
    auto& clients = ZelvoRelay::MVC::Model::ZelvoRelayModel::Instance()->Clients;
    const System::Threading::MonitorLock lock(clients.mMonitor);
    clients.mValue.Add(*paired.client);
    clients.mValue.Join(*paired.client);
}

}  // namespace TestSupport
