#include "ZelvoRelay/Threading/HeldClients.h"

#include <gtest/gtest.h>

#include <vector>

#include "System/Threading/WakeEvent.h"
#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/Threading/MessageTask.h"

namespace {

using ZelvoRelay::Client::RelayClient;
using ZelvoRelay::Threading::HeldClients;
using ZelvoRelay::Threading::MessageTask;

using Clients = std::vector<RelayClient*>;

// A message of client's waiting for the message worker, as its worker counts one.
MessageTask* Waiting(RelayClient& client) {
    auto* task = new MessageTask(nullptr, client.GetClientId());
    client.CountIn(*task);
    return task;
}

// A client worker's held clients come back by the report of their hold's end, and the worker
// looks at none whose hold goes on: walked on every turn, 15,000 connections held for their
// addresses' shares took most of the worker's time and newcomers' joins waited seconds. A
// client whose hold ended unreported stands for one looked at: a walk would take it back.
TEST(HeldClients, GiveBackOnlyTheClientsWhoseHoldEndedWithoutLookingAtTheOthers) {
    System::Threading::WakeEvent wake;
    HeldClients holds(wake);
    RelayClient reported;
    RelayClient unreported;
    RelayClient still;
    RelayClient leaving;
    for (RelayClient* client : {&reported, &still, &leaving}) {
        client->ReportHoldEndsTo(&holds);
    }
    MessageTask* reportedTask = Waiting(reported);
    MessageTask* unreportedTask = Waiting(unreported);
    MessageTask* stillTask = Waiting(still);
    MessageTask* leavingTask = Waiting(leaving);
    for (RelayClient* client : {&reported, &unreported, &still, &leaving}) {
        ASSERT_TRUE(client->HoldUntilHandled(&wake));
    }
    holds.Hold(&reported);
    holds.Hold(&unreported);
    holds.Hold(&still);
    holds.HoldToLeave(&leaving);
    Clients toRead;
    Clients toRemove;
    holds.TakeEnded(toRead, toRemove);
    EXPECT_TRUE(toRead.empty());
    EXPECT_TRUE(toRemove.empty());

    delete unreportedTask;
    delete reportedTask;
    delete leavingTask;
    holds.TakeEnded(toRead, toRemove);
    EXPECT_EQ(toRead, Clients{&reported});
    EXPECT_EQ(toRemove, Clients{&leaving});
    EXPECT_TRUE(holds.IsHeld(&unreported));
    EXPECT_TRUE(holds.IsHeld(&still));
    EXPECT_FALSE(holds.IsHeld(&reported));
    delete stillTask;
    holds.Clear();
}

}  // namespace
