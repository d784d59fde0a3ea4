#include "System/Net/ClientSSL.h"

#include "EventRecorders.h"
#include "System/EventManager.h"
#include "support/HttpTestServer.h"
#include "support/RawSocket.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace System::Net {
namespace {

using NetTest::ClientLog;
using NetTest::LoopbackPort;
using TestSupport::RawSocket;
using TestSupport::WaitUntil;
using Names = std::vector<std::string>;

TEST(ClientSSLThreads, AHandshakeWithAPeerThatSpeaksNoTlsFailsAndEnds) {
    const RawSocket listener = RawSocket::Listen();
    ClientSSL client;
    ClientLog log(client);
    // Without a session yet: nothing is sent and nothing raised.
    EXPECT_EQ(client.Send("x", 0, 1), 0);
    client.Disconnect(true);
    ASSERT_TRUE(client.Connect(LoopbackPort(listener.Port())));
    RawSocket peer = listener.Accept();
    peer.SendAll("garbage\r\n");
    peer.Close();
    ASSERT_TRUE(WaitUntil([&] { return log.Count("disconnect") == 1; }));
    client.Disconnect(true);
    EXPECT_EQ(log.Names(), (Names{"connecting", "failed", "disconnect"}));
    EXPECT_NE(log.Get(log.mError), "");
}

TEST(ClientSSLThreads, DisconnectSendsCloseNotifyWithoutWaitingForThePeers) {
    // Closes the connection from its own thread on the first bytes received.
    struct Closer {
        void OnReceiveMessage(Client* client, char*, int) { client->Disconnect(true); }
    } closer;
    TestSupport::HttpTestServer server(true);
    for (bool fromHandler : {false, true}) {
        SCOPED_TRACE(fromHandler ? "from a handler" : "from another thread");
        ClientSSL client;
        ClientLog log(client);
        EventManager events;
        if (fromHandler) {
            events.Add(client.OnReceiveMessage, &closer, &Closer::OnReceiveMessage);
        }
        client.SetServerName("localhost");
        ASSERT_TRUE(client.Connect(LoopbackPort(server.Port())));
        ASSERT_TRUE(WaitUntil([&] { return log.Count("connect") == 1; }));
        const std::string request = "GET /count HTTP/1.1\r\n\r\n";
        EXPECT_EQ(client.Send(request.data(), 0, uint32_t(request.size())), int(request.size()));
        ASSERT_TRUE(WaitUntil([&] { return !log.Get(log.mReceived).empty(); }));
        if (!fromHandler) {
            client.Disconnect(true);
        }
        ASSERT_TRUE(WaitUntil([&] { return log.Count("disconnect") == 1; }));
        client.Disconnect(true);
        EXPECT_TRUE(server.WaitForLine("END clean"));
        EXPECT_EQ(log.Names(), (Names{"connecting", "connect", "send", "disconnect"}));
    }
}

}  // namespace
}  // namespace System::Net
