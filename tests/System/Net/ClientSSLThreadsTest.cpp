#include "System/Net/ClientSSL.h"

#include "EventRecorders.h"
#include "System/EventManager.h"
#include "support/HttpTestServer.h"
#include "support/RawSocket.h"
#include "support/ServerProcess.h"
#include "support/TempDir.h"
#include "support/Wait.h"

#include <gtest/gtest.h>
#include <openssl/ssl.h>
#include <unistd.h>

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

TEST(ClientSSLThreads, TheServerSideAcceptsATlsClientAndServesItOnItsThread) {
    const char* const tlsClient = R"(
import socket, ssl, sys
context = ssl.create_default_context()
context.check_hostname = False
context.verify_mode = ssl.CERT_NONE
with context.wrap_socket(socket.create_connection(('127.0.0.1', int(sys.argv[1])))) as s:
    s.sendall(b'hello')
    print(s.recv(100).decode(), flush=True)
)";
    TestSupport::TempDir dir;
    TestSupport::WriteSelfSignedCertificate(dir.File("certificate.pem"), dir.File("key.pem"));
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    ASSERT_EQ(SSL_CTX_use_certificate_file(context, dir.File("certificate.pem").c_str(),
                                           SSL_FILETYPE_PEM),
              1);
    ASSERT_EQ(SSL_CTX_use_PrivateKey_file(context, dir.File("key.pem").c_str(), SSL_FILETYPE_PEM),
              1);
    const RawSocket listener = RawSocket::Listen();
    TestSupport::ServerProcess peer(ZELVO_PYTHON,
                                    {"-c", tlsClient, std::to_string(listener.Port())}, dir.Path());
    const RawSocket accepted = listener.Accept();
    ClientSSL server(context, Socket(dup(accepted.Descriptor()), true));
    // The server side holds a reference of its own.
    SSL_CTX_free(context);
    ClientLog log(server);
    ASSERT_TRUE(server.Accept());
    EXPECT_FALSE(server.GetCertificate());
    EXPECT_EQ(server.VerifyCertificate(), X509_V_OK);
    ASSERT_EQ(server.Start(), 0);
    ASSERT_TRUE(WaitUntil([&] { return log.Get(log.mReceived) == "hello"; }));
    EXPECT_EQ(server.Send("world", 0, 5), 5);
    EXPECT_GE(peer.WaitForLine("world"), 0);
    ASSERT_TRUE(WaitUntil([&] { return log.Count("disconnect") == 1; }));
    server.Disconnect(true);
    EXPECT_EQ(log.Names(), (Names{"send", "disconnect"}));
}

}  // namespace
}  // namespace System::Net
