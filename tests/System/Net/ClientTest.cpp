#include "System/Net/Client.h"

#include "System/EventManager.h"
#include "System/Net/Socket.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace System::Net {
namespace {

// Records the send event and then makes a call that changes errno, as a logging
// handler would.
class SendWatcher {
  public:
    void OnSendMessage(Client* client, char* buffer, int length, int result) {
        mClient = client;
        mBytes.assign(buffer, static_cast<size_t>(length));
        mResult = result;
        close(-1);
    }

    Client* mClient{nullptr};
    std::string mBytes;
    int mResult{0};
};

TEST(Client, SendReportsOnTheCallerAndKeepsTheErrorOfTheSend) {
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    Client client(Socket(pair[0], true), IPEndPoint());
    SendWatcher watcher;
    EventManager events;
    events.Add(client.OnSendMessage, &watcher, &SendWatcher::OnSendMessage);

    EXPECT_EQ(client.Send("ab", 0, 2), 2);
    EXPECT_EQ(watcher.mClient, &client);
    EXPECT_EQ(watcher.mBytes, "ab");
    EXPECT_EQ(watcher.mResult, 2);

    close(pair[1]);
    // The caller tells a broken connection from a full buffer by errno.
    EXPECT_EQ(client.Send("x", 0, 1), -1);
    EXPECT_EQ(errno, EPIPE);
    EXPECT_EQ(watcher.mResult, -1);
    client.Disconnect(false);
    EXPECT_EQ(fcntl(pair[0], F_GETFD), -1);
}

TEST(Client, CopiesShareTheConnectionAndAssignmentClosesTheOldOne) {
    int first[2];
    int second[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, first), 0);
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, second), 0);
    Client original(Socket(first[0], true), IPEndPoint());
    {
        const Client copy(original);
        EXPECT_TRUE(copy.IsConnected());
    }
    EXPECT_EQ(original.Send("a", 0, 1), 1);

    Client other(Socket(second[0], true), IPEndPoint());
    other = original;
    EXPECT_EQ(fcntl(second[0], F_GETFD), -1);
    EXPECT_EQ(other.GetSocket()->GetSocket(), first[0]);
    EXPECT_EQ(other.Send("b", 0, 1), 1);
    char received[2];
    EXPECT_EQ(read(first[1], received, 2), 2);
    EXPECT_EQ(std::string(received, 2), "ab");
    other.Disconnect(false);
    close(first[1]);
    close(second[1]);
}

}  // namespace
}  // namespace System::Net
