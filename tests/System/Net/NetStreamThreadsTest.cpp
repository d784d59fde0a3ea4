#include "System/Net/NetStream.h"

#include "EventRecorders.h"
#include "System/Net/Server.h"
#include "support/Process.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace System::Net {
namespace {

using NetTest::ClientLog;
using NetTest::LocalPort;
using NetTest::LoopbackPort;
using TestSupport::WaitUntil;

// Frames each accepted connection with its own stream and client thread, as the
// relay does, and keeps the messages.
class Receiver {
  public:
    explicit Receiver(Server& server) {
        mEvents.Add(server.OnClientConnect, this, &Receiver::OnClientConnect);
    }
    // The connection's thread is waited for before its subscribers go.
    ~Receiver() {
        Client* connection = nullptr;
        {
            std::lock_guard<std::mutex> lock(mMutex);
            connection = mConnection.get();
        }
        if (connection != nullptr) {
            connection->Disconnect(true);
        }
    }

    void OnClientConnect(Server*, Client& connection) {
        std::lock_guard<std::mutex> lock(mMutex);
        mConnection = std::make_unique<Client>(connection);
        mLog = std::make_unique<ClientLog>(*mConnection);
        mStream = std::make_unique<NetStream>(*mConnection, 32768);
        mEvents.Add(mStream->OnMessage, this, &Receiver::OnMessage);
        mEvents.Add(mStream->OnLargeMessage, this, &Receiver::OnLargeMessage);
        mConnection->Start();
    }
    void OnMessage(NetStream*, char* payload, int length) {
        std::lock_guard<std::mutex> lock(mMutex);
        mMessages.emplace_back(payload, static_cast<size_t>(length));
    }
    void OnLargeMessage(NetStream*, char*, int, int declared) {
        std::lock_guard<std::mutex> lock(mMutex);
        mDeclared.push_back(declared);
    }

    bool Disconnected() const {
        std::lock_guard<std::mutex> lock(mMutex);
        return mLog && mLog->Count("disconnect") == 1;
    }

    mutable std::mutex mMutex;
    std::unique_ptr<Client> mConnection;
    std::unique_ptr<ClientLog> mLog;
    std::unique_ptr<NetStream> mStream;
    std::vector<std::string> mMessages;
    std::vector<int> mDeclared;
    EventManager mEvents;
};

// Sends the same frames eight times, cut into pieces of 1 to 8 bytes sent one by
// one, then the largest frame the relay accepts and the prefix of one it refuses.
const char* const SenderScript = R"(
import socket, struct, sys
payloads = [b'hello', b'', b'abc', bytes(300), b'x', b'q' * 5000]
frames = b''.join(struct.pack('<I', len(p)) + p for p in payloads)
c = socket.create_connection(('127.0.0.1', int(sys.stdin.read())))
c.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
for size in range(1, 9):
    for at in range(0, len(frames), size):
        c.sendall(frames[at:at + size])
c.sendall(struct.pack('<I', 32767) + b'L' * 32767)
c.sendall(struct.pack('<I', 32768))
c.close()
)";

TEST(NetStreamThreads, FramesArriveWholeOverALoopbackConnection) {
    Server server(Server::TCP);
    Receiver receiver(server);
    server.Host(LoopbackPort(0));
    ASSERT_TRUE(server.IsHosting());
    const auto sender =
        TestSupport::RunPython(SenderScript, std::to_string(LocalPort(*server.GetSocket())) + "\n");
    ASSERT_EQ(sender.exitCode, 0);
    ASSERT_TRUE(WaitUntil([&] { return receiver.Disconnected(); }));
    server.Disconnect();

    std::vector<std::string> expected;
    for (int pass = 0; pass < 8; ++pass) {
        for (const std::string& payload :
             {std::string("hello"), std::string(), std::string("abc"), std::string(300, '\0'),
              std::string("x"), std::string(5000, 'q')}) {
            expected.push_back(payload);
        }
    }
    expected.push_back(std::string(32767, 'L'));
    std::lock_guard<std::mutex> lock(receiver.mMutex);
    EXPECT_EQ(receiver.mMessages.size(), expected.size());
    EXPECT_TRUE(receiver.mMessages == expected);
    EXPECT_EQ(receiver.mDeclared, std::vector<int>{32768});
}

}  // namespace
}  // namespace System::Net
