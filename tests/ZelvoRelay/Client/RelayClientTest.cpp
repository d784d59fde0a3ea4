#include "ZelvoRelay/Client/RelayClient.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "System/IO/MemoryStream.h"
#include "System/Net/Socket.h"
#include "System/Singleton.h"
#include "System/SmartPointer.h"
#include "ZelvoRelay/MVC/Model/NetMessageModel.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/Chat/ChatMessage.h"
#include "ZelvoRelay/Threading/MessageTask.h"
#include "support/RelayWire.h"

namespace {

using ZelvoRelay::Client::RelayClient;
using ZelvoRelay::MVC::Model::ZelvoRelayModel;

// Takes every queued task, checking that each carries the next chat of client 7, and
// deletes it as the message worker does. Returns how many there were.
uint32_t HandleQueued(ZelvoRelayModel& model, uint32_t& next) {
    uint32_t handled = 0;
    while (ZelvoRelay::Threading::MessageTask* task = model.Messages.mTasks.Dequeue()) {
        char text[8];
        std::snprintf(text, sizeof text, "%03u", next++);
        EXPECT_EQ(task->SenderId, 7u);
        EXPECT_EQ(static_cast<ZelvoRelay::Message::Chat::ChatMessage*>(task->Message)->GetMessage(),
                  System::String(text));
        delete task->Message;
        delete task;
        ++handled;
    }
    return handled;
}

// A client that sends faster than its messages are handled is left unread past a backlog:
// its bytes wait in the socket instead of the server's memory, and none is lost.
TEST(RelayClientTest, IsNotReadWhileTooManyOfItsMessagesWaitForTheMessageWorker) {
    ZelvoRelayModel* model = ZelvoRelayModel::Instance();  // no worker runs
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    RelayClient client(System::Net::Client(System::Net::Socket(pair[0], true)), 7);

    const uint32_t total = RelayClient::kMaxPendingMessages + 10;
    std::string frames;
    for (uint32_t i = 0; i < total; ++i) {
        char text[8];
        std::snprintf(text, sizeof text, "%03u", i);
        const std::string chat = RelayWire::ChatText(text);
        frames += RelayWire::U32(static_cast<uint32_t>(chat.size())) + chat;
    }
    ASSERT_EQ(send(pair[1], frames.data(), frames.size(), 0), static_cast<ssize_t>(frames.size()));

    // Each read takes one frame.
    const uint32_t frameSize = static_cast<uint32_t>(frames.size() / total);
    char buffer[64];
    uint32_t next = 0;
    for (uint32_t i = 0; i < total; ++i) {
        client.Receive(buffer, 0, frameSize, nullptr);
    }
    EXPECT_EQ(HandleQueued(*model, next), RelayClient::kMaxPendingMessages);
    for (uint32_t i = 0; i < total; ++i) {
        client.Receive(buffer, 0, frameSize, nullptr);
    }
    EXPECT_EQ(HandleQueued(*model, next), 10u);
    EXPECT_TRUE(client.IsConnected());
    close(pair[1]);
    System::Singleton<ZelvoRelayModel>::Destroy();
}

// However many of the shortest frames the buffer could hold, one read brings in no more
// messages than may still wait.
TEST(RelayClientTest, OneReadQueuesNoMoreMessagesThanMayWait) {
    ZelvoRelayModel* model = ZelvoRelayModel::Instance();  // no worker runs
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    RelayClient client(System::Net::Client(System::Net::Socket(pair[0], true)), 7);
    std::string frames;
    for (int i = 0; i < 1000; ++i) {
        frames += RelayWire::U32(1) + RelayWire::U8(RelayWire::Chat);
    }
    ASSERT_EQ(send(pair[1], frames.data(), frames.size(), 0), static_cast<ssize_t>(frames.size()));

    char buffer[16384];
    client.Receive(buffer, 0, sizeof buffer, nullptr);
    uint32_t queued = 0;
    while (ZelvoRelay::Threading::MessageTask* task = model->Messages.mTasks.Dequeue()) {
        delete task->Message;
        delete task;
        ++queued;
    }
    EXPECT_EQ(queued, RelayClient::kMaxPendingMessages);
    close(pair[1]);
    System::Singleton<ZelvoRelayModel>::Destroy();
}

// What a stalled reader's queue may hold is bounded by what the frames take in memory:
// counted by their bytes alone, millions of tiny frames would fit under the limit.
TEST(RelayClientTest, IsDisconnectedOnceTinyFramesQueuedForItTakeTooMuchMemory) {
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    RelayClient client(System::Net::Client(System::Net::Socket(pair[0], true)), 7);
    ZelvoRelay::MVC::Model::NetMessageModel entry;
    entry.Frame = System::SmartPointer<System::IO::MemoryStream>(new System::IO::MemoryStream(5));
    const unsigned char frame[5] = {1, 0, 0, 0, RelayWire::Chat};
    entry.Frame->Write(frame, 0, sizeof frame);

    // One mebibyte of frame bytes, a sixteenth of the limit.
    for (uint32_t i = 0; i < (1u << 20) / sizeof frame; ++i) {
        client.Enqueue(entry);
    }
    client.Send();
    EXPECT_FALSE(client.IsConnected());
    close(pair[1]);
}

}  // namespace
