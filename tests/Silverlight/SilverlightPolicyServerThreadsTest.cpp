#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "Silverlight/SilverlightPolicyServer.h"
#include "System/EventManager.h"
#include "System/Net/IPAddress.h"
#include "System/Net/IPEndPoint.h"
#include "support/Process.h"
#include "support/RawClient.h"
#include "support/ThreadsCannotStart.h"
#include "support/Wait.h"

namespace {

const std::string kPolicy =
    "<?xml version=\"1.0\"?><access-policy><cross-domain-access><policy><allow-from><domain "
    "uri=\"*\" /></allow-from><grant-to><socket-resource port=\"4502-4534\" protocol=\"tcp\" "
    "/></grant-to></policy></cross-domain-access></access-policy>";

// Whatever a connection sends, or doesn't, it gets the policy and a clean end of stream
// (not a reset, which could destroy the policy before it is read).
void ExpectPolicyForEveryKindOfPeer(uint16_t port) {
    const struct {
        const char* what;
        std::string sent;
        bool halfClose;
    } cases[] = {
        {"nothing", "", false},
        {"the plug-in's request", std::string("<policy-file-request/>") + '\0', false},
        {"a request, then the end of its stream", "<policy-file-request/>", true},
        {"a lot of anything", std::string(200000, '\x7F'), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestSupport::RawClient client(port);
        ASSERT_TRUE(client.Connected());
        client.SendBytes(c.sent);
        if (c.halfClose) {
            client.ShutdownSend();
        }
        const auto received = client.ReadToEnd();
        ASSERT_TRUE(received.has_value());
        EXPECT_EQ(*received, kPolicy);
        EXPECT_EQ(received->size(), 227u);
    }
}

// Remembers why hosting failed.
struct HostFailure {
    void OnHostFailed(System::Net::Server*, const System::String& error) {
        text = error.ToByteArray() == nullptr ? "" : error.ToByteArray();
    }
    std::string text;
};

TEST(SilverlightPolicyServerTest, HostsOnPort943) {
    Silverlight::SilverlightPolicyServer server;
    HostFailure failure;
    System::EventManager events;
    events.Add(server.OnHostFailed, &failure, &HostFailure::OnHostFailed);
    server.Host();
    if (!server.IsHosting()) {
        if (failure.text == "Permission Denied: Access in use") {
            GTEST_SKIP() << "binding port 943 needs root or the bind capability";
        }
        if (failure.text == "Address already in use") {
            GTEST_SKIP() << "another process holds port 943";
        }
        FAIL() << failure.text;
    }
    ExpectPolicyForEveryKindOfPeer(Silverlight::SilverlightPolicyServer::kPort);
    server.Disconnect();
}

TEST(SilverlightPolicyServerTest, AnswersEveryConnectionWithThePolicyAndAnEndOfStream) {
    Silverlight::SilverlightPolicyServer server;
    System::Net::Server& base = server;
    base.Host(System::Net::IPEndPoint(System::Net::IPAddress::Loopback(), 0).SwapEndian());
    ASSERT_TRUE(server.IsHosting());
    const uint16_t port = server.GetSocket()->GetLocalEndPoint().GetPort();
    ExpectPolicyForEveryKindOfPeer(static_cast<uint16_t>(port >> 8 | port << 8));
    server.Disconnect();
}

using Clock = std::chrono::steady_clock;
using Silverlight::SilverlightPolicyServer;
using TestSupport::RawClient;

const std::string kRequest = std::string("<policy-file-request/>") + '\0';

// The time left until end, never below zero.
std::chrono::milliseconds Left(Clock::time_point end) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    return left.count() > 0 ? left : std::chrono::milliseconds(0);
}

// A policy server whose drainer a test may hold up.
struct HeldPolicyServer : SilverlightPolicyServer {
    using SilverlightPolicyServer::GetDrainer;
};

// A policy server hosted on a loopback port of the system's choice (the fixed port is
// shared with every other program on the machine), and the silent peers of a test.
class SilverlightPolicyServerDrain : public ::testing::Test {
  protected:
    void SetUp() override {
        mDescriptorsBeforeHosting = TestSupport::OpenDescriptors();
        System::Net::Server& base = mServer;
        base.Host(System::Net::IPEndPoint(System::Net::IPAddress::Loopback(), 0).SwapEndian());
        ASSERT_TRUE(mServer.IsHosting());
        const uint16_t port = mServer.GetSocket()->GetLocalEndPoint().GetPort();
        mPort = static_cast<uint16_t>(port >> 8 | port << 8);
        mDescriptorsWhileHosting = TestSupport::OpenDescriptors();
    }
    void TearDown() override { mServer.Disconnect(); }

    // Opens count connections that send nothing and stay open, without waiting for the
    // server to take them.
    void OpenSilent(size_t count) {
        for (size_t i = 0; i < count; ++i) {
            mSilent.push_back(std::make_unique<RawClient>(mPort));
            ASSERT_TRUE(mSilent.back()->Connected());
        }
    }

    // Whether the server has let go of every connection but those of count peers still
    // open here (a descriptor on each side).
    bool ServerHolds(int count) {
        return TestSupport::OpenDescriptors() ==
               mDescriptorsWhileHosting + static_cast<int>(mSilent.size()) + count;
    }

    HeldPolicyServer mServer;
    uint16_t mPort{0};
    int mDescriptorsBeforeHosting{0};
    int mDescriptorsWhileHosting{0};  // with no connection open
    std::vector<std::unique_ptr<RawClient>> mSilent;
};

TEST_F(SilverlightPolicyServerDrain, APeerGetsThePolicyAtOnceWhileAHundredConnectionsStaySilent) {
    OpenSilent(100);
    // Far below the 100 ms one silent connection may be read for, far above what the
    // policy takes. A loaded machine may stall one attempt; silent connections that held
    // up the service would stall every attempt.
    const auto prompt = std::chrono::milliseconds(50);
    bool answered = false;
    for (int attempt = 0; attempt < 3 && !answered; ++attempt) {
        RawClient peer(mPort);
        ASSERT_TRUE(peer.Connected());
        ASSERT_TRUE(peer.SendBytes(kRequest));
        const auto received = peer.ReadToEnd(prompt);
        answered = received == kPolicy;
    }
    EXPECT_TRUE(answered);
}

TEST_F(SilverlightPolicyServerDrain, EverySilentConnectionGetsThePolicyAndIsLetGoWithinItsOwnTime) {
    // Each is read for 100 ms at most from its own arrival, all at once: far less than
    // this for all of them together.
    const auto end = Clock::now() + std::chrono::milliseconds(1500);
    OpenSilent(100);
    for (auto& silent : mSilent) {
        const auto received = silent->ReadToEnd(Left(end));
        ASSERT_EQ(received, kPolicy);
    }
    for (auto& silent : mSilent) {
        ASSERT_TRUE(silent->ProbeUntilReset(Left(end)));
    }
}

TEST_F(SilverlightPolicyServerDrain, APeerThatSendsItsRequestAfterThePolicyHasComeGetsNoReset) {
    // A plug-in may send its request some milliseconds after the policy has come. It is
    // sent here once the server has let go of the connection, or 30 ms on: a server that
    // has let go by then answers it with a reset, which may destroy the policy unread.
    for (int attempt = 1;; ++attempt) {
        mSilent.clear();
        OpenSilent(1);
        RawClient& peer = *mSilent.back();
        const auto connected = Clock::now();
        ASSERT_TRUE(TestSupport::WaitUntil([&] { return peer.Pending(); }));
        TestSupport::WaitUntil([&] { return ServerHolds(0); }, std::chrono::milliseconds(30));
        ASSERT_TRUE(peer.SendBytes(kRequest));
        // A machine that stalled the peer past half the server's time may have let that
        // time pass; the next attempt tells.
        if (Clock::now() - connected < SilverlightPolicyServer::kDrainTime / 2 || attempt == 5) {
            ASSERT_TRUE(TestSupport::WaitUntil([&] {
                return peer.WasReset() || peer.WaitAcknowledged(std::chrono::milliseconds(0));
            }));
            EXPECT_EQ(peer.ReadToEnd(), kPolicy);
            EXPECT_FALSE(peer.WasReset()) << "the request was answered with a reset";
            return;
        }
    }
}

TEST_F(SilverlightPolicyServerDrain, PastTheBoundTheOldestSilentConnectionIsLetGoAtOnce) {
    // The drainer held up, no connection is let go for its time: only the bound lets
    // one go. Each has its end of stream, so has been handed over, before the next comes.
    const int bound = 256;
    mServer.GetDrainer().Enter();
    for (int i = 0; i <= bound; ++i) {
        OpenSilent(1);
        EXPECT_EQ(mSilent.back()->ReadToEnd(), kPolicy);
    }
    EXPECT_TRUE(TestSupport::WaitUntil([&] { return ServerHolds(bound); }));
    EXPECT_TRUE(mSilent.front()->ProbeUntilReset());
    mServer.GetDrainer().Exit();
}

TEST_F(SilverlightPolicyServerDrain, DisconnectLetsGoOfEveryConnectionAndLeavesNoDescriptor) {
    OpenSilent(50);
    ASSERT_EQ(mSilent.back()->ReadToEnd(), kPolicy);
    mServer.Disconnect();
    EXPECT_EQ(TestSupport::OpenDescriptors(), mDescriptorsBeforeHosting + 50);
    for (auto& silent : mSilent) {
        EXPECT_TRUE(silent->ProbeUntilReset());
    }
}

// Records the outcome of hosting.
struct HostLog {
    explicit HostLog(System::Net::Server& server) {
        mEvents.Add(server.OnHost, this, &HostLog::OnHost);
        mEvents.Add(server.OnHostFailed, this, &HostLog::OnHostFailed);
    }
    void OnHost(System::Net::Server*) { mOutcomes.push_back("host"); }
    void OnHostFailed(System::Net::Server*, const System::String& error) {
        mOutcomes.push_back(std::string("failed: ") + error.CStr());
    }

    std::vector<std::string> mOutcomes;
    System::EventManager mEvents;
};

TEST(SilverlightPolicyServerTest, HostingFailsWhenNoThreadCanStartAndWorksOnceOneCan) {
    SilverlightPolicyServer server;
    HostLog log(server);
    System::Net::Server& base = server;
    const auto loopback = System::Net::IPEndPoint(System::Net::IPAddress::Loopback(), 0);
    {
        TestSupport::ThreadsCannotStart noThreads;
        base.Host(System::Net::IPEndPoint(loopback).SwapEndian());
    }
    ASSERT_EQ(log.mOutcomes.size(), 1u);
    EXPECT_EQ(log.mOutcomes[0].rfind("failed: ", 0), 0u);
    EXPECT_GT(log.mOutcomes[0].size(), std::string("failed: ").size());
    EXPECT_FALSE(server.IsHosting());
    EXPECT_EQ(server.GetSocket()->GetSocket(), -1);

    base.Host(System::Net::IPEndPoint(loopback).SwapEndian());
    ASSERT_TRUE(server.IsHosting());
    EXPECT_EQ(log.mOutcomes.back(), "host");
    const uint16_t port = server.GetSocket()->GetLocalEndPoint().GetPort();
    RawClient client(static_cast<uint16_t>(port >> 8 | port << 8));
    EXPECT_EQ(client.ReadToEnd(), kPolicy);
    server.Disconnect();
}

}  // namespace
