#include "ZelvoRelay/MVC/Commands/RemoveRelayClientCommand.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "System/Net/Client.h"
#include "System/Net/Socket.h"
#include "System/Singleton.h"
#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/MVC/Commands/RelayMessageCommand.h"
#include "ZelvoRelay/MVC/Events/RelayMessageEvent.h"
#include "ZelvoRelay/MVC/Events/RemoveRelayClientEvent.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Threading/MessageTask.h"
#include "support/RawSocket.h"
#include "support/RelayWire.h"

namespace {

using ZelvoRelay::Client::RelayClient;
using ZelvoRelay::MVC::Model::ZelvoRelayModel;

// A relay client over one end of a socket pair, the test reading the other end.
struct PairedClient {
    explicit PairedClient(uint32_t clientId) {
        int pair[2];
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
        client = new RelayClient(
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
        return TestSupport::ReceiveWaiting(peer);
    }

    RelayClient* client;  // owned by the model's collection from Admit on
    int peer;
};

// Adds the client to the room's connections and admits it.
void Admit(PairedClient& paired) {
    auto& clients = ZelvoRelayModel::Instance()->Clients;
    clients.mMonitor.Enter();
    clients.mValue.Add(*paired.client);
    clients.mValue.Join(*paired.client);
    clients.mMonitor.Exit();
}

// Hands every task queued for the message worker to the relay, then sends on the frames for
// the room it held back, as the worker does once its queue is empty.
void RelayQueuedTasks() {
    ZelvoRelay::MVC::Commands::RelayMessageCommand relay;
    while (ZelvoRelay::Threading::MessageTask* task =
               ZelvoRelayModel::Instance()->Messages.mTasks.Dequeue()) {
        ZelvoRelay::MVC::Events::RelayMessageEvent event(task);
        relay.Execute(&event);
        delete task->Message;
        delete task;
    }
    ZelvoRelayModel::Instance()->FlushRoom();
}

// A member's leave waits in the task queue, in its turn, behind what it sent; one admitted
// meanwhile was never told of the leaver, its list of the room made without it.
TEST(RemoveRelayClientCommandTest, AMemberAdmittedWhileAnotherLeavesIsNotSentThatLeave) {
    PairedClient stays(11);
    PairedClient leaves(22);
    PairedClient newcomer(33);
    Admit(stays);
    Admit(leaves);

    ZelvoRelay::MVC::Events::RemoveRelayClientEvent removal(leaves.client);
    ZelvoRelay::MVC::Commands::RemoveRelayClientCommand().Execute(&removal);
    Admit(newcomer);
    RelayQueuedTasks();

    const std::string leave = RelayWire::Message(RelayWire::UserLeft, 22);
    EXPECT_NE(stays.Received().find(leave), std::string::npos);
    EXPECT_EQ(newcomer.Received(), "");
    System::Singleton<ZelvoRelayModel>::Destroy();
}

}  // namespace
