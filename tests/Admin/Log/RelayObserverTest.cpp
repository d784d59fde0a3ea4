#include "Admin/Log/RelayObserver.h"

#include "Admin/AdminModel.h"
#include "Admin/ConfigProperty.h"
#include "Admin/ConsoleCapture.h"
#include "Admin/RoomUpdateEvent.h"
#include "Application/AppModel.h"
#include "System/MVC/Controller.h"
#include "System/MVC/ICommand.h"
#include "System/Net/IPAddress.h"
#include "System/Net/IPEndPoint.h"
#include "System/Timer.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "support/Text.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using AdminTest::ConsoleCapture;
using System::String;
using ZelvoRelay::MVC::Model::ZelvoRelayModel;

// Records what each dispatch of its event finds: the console so far and the event.
class Recorder : public System::MVC::ICommand {
  public:
    Recorder(const char* name, const ConsoleCapture& console) : mName(name), mConsole(console) {
        System::MVC::Controller::Set(mName, this);
    }
    ~Recorder() override { System::MVC::Controller::Set(mName, nullptr); }
    void Execute(System::MVC::EventDispatcher* event) override {
        mConsoleAtRun.push_back(mConsole.Texts().size());
        if (mName == "RoomUpdateEvent") {
            const auto* update = static_cast<RoomUpdateEvent*>(event);
            mUpdates.push_back(
                TestSupport::Text(update->mAddress) + " " + std::to_string(update->mPort) + " " +
                std::to_string(update->mFlags) + " " + std::to_string(update->mIsPublic) + " " +
                std::to_string(update->mMaxClients) + " " + std::to_string(update->mClientCount));
        }
    }
    std::vector<size_t> mConsoleAtRun;
    std::vector<std::string> mUpdates;

  private:
    String mName;
    const ConsoleCapture& mConsole;
};

double gNow = 0.0;
double FakeClock() {
    return gNow;
}

// The timers run on a clock of the test's own, moved forward by hand.
class RelayObserverTimers : public ::testing::Test {
  protected:
    RelayObserverTimers() {
        gNow = 1000.0;
        System::Timer::SetClock(FakeClock);
    }
    ~RelayObserverTimers() override { System::Timer::SetClock(nullptr); }

    void Advance(double seconds) {
        gNow += seconds;
        System::Timer::SigTimer();
    }

    ConsoleCapture mConsole;
    ZelvoRelayModel* mRelay{ZelvoRelayModel::Instance()};
    AdminModel* mAdmin{AdminModel::Instance()};
};

// Saves every five minutes, and says so after the save; updates the switchboard every
// minute while logged in and public.
TEST_F(RelayObserverTimers, SavesAndUpdatesTheSwitchboardOnTheirTimers) {
    Recorder save("SaveUserDataEvent", mConsole);
    Recorder update("RoomUpdateEvent", mConsole);
    mRelay->Room.IsPublic = true;
    mRelay->Room.MaxClients = 20;
    ConfigProperty("RoomIsPublic") = "true";
    auto& state = mAdmin->mNetwork.SwitchboardState;
    RelayObserver observer;

    state = NetworkModel::Connected;
    Advance(59.0);
    EXPECT_TRUE(update.mUpdates.empty());
    Advance(1.0);
    ASSERT_EQ(update.mUpdates, std::vector<std::string>{" -1 14 1 20 0"});

    ConfigProperty("RoomIsPublic") = "false";
    Advance(60.0);
    EXPECT_EQ(update.mUpdates.size(), 1u);
    // A maximum read from "-1" goes out, and is logged, as -1.
    mRelay->Room.MaxClients = static_cast<uint32_t>(-1);
    ConfigProperty("RoomIsPublic") = "TRUE";
    Advance(60.0);
    ASSERT_EQ(update.mUpdates.size(), 2u);
    EXPECT_EQ(update.mUpdates[1], " -1 14 1 -1 0");

    state = NetworkModel::Disconnecting;
    state = NetworkModel::Disconnected;
    Advance(60.0);
    EXPECT_EQ(update.mUpdates.size(), 2u);
    ConfigProperty("RoomIsPublic") = "true";
    Advance(59.9);
    EXPECT_TRUE(save.mConsoleAtRun.empty());
    Advance(0.1);
    EXPECT_EQ(update.mUpdates.size(), 2u);
    ASSERT_EQ(save.mConsoleAtRun, std::vector<size_t>{4});

    const std::vector<std::string> expected = {
        "ZELVO Admin successfully connected to the switchboard.",
        "Updating switchboard (flags / is public / users): 14, 1, 0/20",
        "Updating switchboard (flags / is public / users): 14, 1, 0/-1",
        "ZELVO Admin disconnected from the switchboard.",
        "Saving server state...",
    };
    EXPECT_EQ(mConsole.Texts(), expected);
    Advance(300.0);
    EXPECT_EQ(save.mConsoleAtRun.size(), 2u);
    mRelay->Room.IsPublic = false;
    ConfigProperty("RoomIsPublic") = "false";
}

TEST_F(RelayObserverTimers, LogsSwitchboardErrorsByTheirLocaleText) {
    AppModel::Instance()->mLocale.Set("sb.bad.login", "Bad user name or password");
    RelayObserver observer;
    auto& network = mAdmin->mNetwork;
    network.SwitchboardLoginError = "";
    network.SwitchboardLoginError = "sb.bad.login";
    network.SwitchboardUpdateError = "sb.unknown.key";
    const std::vector<std::string> expected = {
        "ZELVO Admin failed to login to the switchboard. Response: Bad user name or password.",
        "ZELVO Admin failed to update the switchboard. Response: .",
    };
    EXPECT_EQ(mConsole.Texts(), expected);
}

// An address of no interface of this host cannot be bound, by root or anyone.
TEST_F(RelayObserverTimers, HostFailuresAreLoggedWithPortAndErrorAndPublishZeroRates) {
    RelayObserver observer;
    auto& network = mAdmin->mNetwork;
    network.mBytesReceived += 500;
    network.DownloadRate = 7;
    const System::Net::IPEndPoint nowhere(System::Net::IPAddress::Parse("192.0.2.1"), 4502);
    mRelay->Server.Host(nowhere.SwapEndian());
    System::Net::Server& policy = mAdmin->mPolicyServer;
    policy.Host(
        System::Net::IPEndPoint(System::Net::IPAddress::Parse("192.0.2.1"), 943).SwapEndian());
    EXPECT_EQ(network.DownloadRate.Get(), 0u);
    EXPECT_EQ(network.BytesDownloaded.Get(), network.mBytesReceived.load());
    EXPECT_FALSE(network.IsRelayServerOnline.Get());
    const std::vector<std::string> expected = {
        "Relay server hosting on port 4502 failed: Cannot assign requested address",
        "Policy server hosting on port 943 failed: Cannot assign requested address",
    };
    EXPECT_EQ(mConsole.Texts(), expected);
}

// Hosting on port 0 takes a port of the system's choice: the line names that one, which
// clients can reach, not the 0 that was asked for.
TEST_F(RelayObserverTimers, TheHostingLineNamesThePortListenedOn) {
    RelayObserver observer;
    System::Net::Server& policy = mAdmin->mPolicyServer;
    policy.Host(
        System::Net::IPEndPoint(System::Net::IPAddress::Parse("127.0.0.1"), 0).SwapEndian());
    ASSERT_TRUE(policy.IsHosting());
    sockaddr_in address{};
    socklen_t size = sizeof address;
    getsockname(policy.GetSocket()->GetSocket(), reinterpret_cast<sockaddr*>(&address), &size);
    policy.Disconnect();
    const std::vector<std::string> expected = {
        "Policy server hosting on port " + std::to_string(ntohs(address.sin_port)),
        "Policy server stopped",
    };
    EXPECT_NE(address.sin_port, 0);
    EXPECT_EQ(mConsole.Texts(), expected);
}

}  // namespace
