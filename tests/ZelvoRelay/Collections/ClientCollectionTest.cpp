#include "ZelvoRelay/Collections/ClientCollection.h"

#include <gtest/gtest.h>

#include "ZelvoRelay/Client/RelayClient.h"

using ZelvoRelay::Client::RelayClient;
using ZelvoRelay::Collections::ClientCollection;

// The room's places are counted from the joined clients alone: a client counts from its join
// until it is removed, whichever way it goes, and a client that never joined never counts.
TEST(ClientCollection, CountsTheJoinedUntilTheyAreRemovedOrCleared) {
    RelayClient first;
    RelayClient second;
    RelayClient third;
    first.GetUserModel().ClientId = 1;
    second.GetUserModel().ClientId = 2;
    third.GetUserModel().ClientId = 3;
    ClientCollection clients;
    clients.Add(first);
    clients.Add(second);
    clients.Add(third);
    EXPECT_EQ(clients.NumJoined(), 0u);
    clients.Join(first);
    clients.Join(third);
    EXPECT_EQ(clients.NumJoined(), 2u);
    EXPECT_TRUE(clients.Remove(second));
    EXPECT_EQ(clients.NumJoined(), 2u);
    EXPECT_TRUE(clients.Remove(first));
    EXPECT_EQ(clients.NumJoined(), 1u);
    clients.Clear();
    EXPECT_EQ(clients.NumJoined(), 0u);
    EXPECT_EQ(clients.Count(), 0u);
}
