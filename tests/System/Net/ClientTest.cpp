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
    Client client(Socket(pair[0], true));
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

}  // namespace
}  // namespace System::Net
