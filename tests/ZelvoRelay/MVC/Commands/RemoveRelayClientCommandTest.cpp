#include "ZelvoRelay/MVC/Commands/RemoveRelayClientCommand.h"

#include <gtest/gtest.h>

#include <string>

#include "System/Singleton.h"
#include "ZelvoRelay/MVC/Commands/RelayMessageCommand.h"
#include "ZelvoRelay/MVC/Events/RelayMessageEvent.h"
#include "ZelvoRelay/MVC/Events/RemoveRelayClientEvent.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Threading/MessageTask.h"
#include "support/PairedClient.h"
#include "support/RelayWire.h"

namespace {

using TestSupport::Admit;
using TestSupport::PairedClient;
using ZelvoRelay::MVC::Model::ZelvoRelayModel;

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
