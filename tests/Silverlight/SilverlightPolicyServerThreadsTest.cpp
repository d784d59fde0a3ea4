#include <gtest/gtest.h>

#include <string>

#include "Silverlight/SilverlightPolicyServer.h"
#include "System/EventManager.h"
#include "System/Net/IPAddress.h"
#include "System/Net/IPEndPoint.h"
#include "support/RawClient.h"

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

}  // namespace
