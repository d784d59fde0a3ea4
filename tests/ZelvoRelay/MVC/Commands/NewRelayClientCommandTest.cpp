#include "ZelvoRelay/MVC/Commands/NewRelayClientCommand.h"

#include <gtest/gtest.h>

#include <vector>

#include "System/Net/Client.h"
#include "System/Singleton.h"
#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/MVC/Events/NewRelayClientEvent.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

namespace {

using ZelvoRelay::MVC::Model::ZelvoRelayModel;

TEST(NewRelayClientCommandTest, NewIdsPassOverZeroAndIdsInUseAndSortUnsigned) {
    ZelvoRelayModel* model = ZelvoRelayModel::Instance();
    auto* holder = new ZelvoRelay::Client::RelayClient();
    holder->GetUserModel().ClientId = 1;
    model->Clients.mValue.Add(*holder);

    ZelvoRelay::MVC::Commands::NewRelayClientCommand command(0xFFFFFFFE);
    System::Net::Client connection(System::Net::INetwork::TCP);
    ZelvoRelay::MVC::Events::NewRelayClientEvent event(connection);
    for (int i = 0; i < 3; ++i) {
        command.Execute(&event);
    }

    // The counter wrapped: 0 is never given out and 1 is still in use.
    const std::vector<uint32_t> expected = {1, 2, 0xFFFFFFFE, 0xFFFFFFFF};
    auto& clients = model->Clients.mValue;
    ASSERT_EQ(clients.Count(), expected.size());
    for (uint32_t i = 0; i < clients.Count(); ++i) {
        EXPECT_EQ(clients[i].GetClientId(), expected[i]);
        EXPECT_EQ(clients.FindClient(expected[i]), &clients[i]);
    }
    for (uint32_t absent : {0u, 3u, 0x7FFFFFFFu, 0xFFFFFFFDu}) {
        EXPECT_EQ(clients.FindClient(absent), nullptr) << absent;
    }
    System::Singleton<ZelvoRelayModel>::Destroy();
}

}  // namespace
