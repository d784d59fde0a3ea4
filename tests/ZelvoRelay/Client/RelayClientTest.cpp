#include "ZelvoRelay/Client/RelayClient.h"

#include <gtest/gtest.h>

#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "System/IO/MemoryStream.h"
#include "System/Net/Socket.h"
#include "System/Singleton.h"
#include "System/SmartPointer.h"
#include "ZelvoRelay/MVC/Model/NetMessageModel.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/Chat/ChatMessage.h"
#include "ZelvoRelay/PostAction/IPostAction.h"
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

// Reads what the peer has received so far without waiting.
std::string Drain(int descriptor) {
    std::string received;
    char buffer[65536];
    ssize_t n = 0;
    while ((n = recv(descriptor, buffer, sizeof buffer, MSG_DONTWAIT)) > 0) {
        received.append(buffer, static_cast<size_t>(n));
    }
    return received;
}

// Records that its frame was sent, and checks that the peer can already read the whole
// frame (what it has read plus what waits for it): an action may only run once its frame
// is completely written.
class RecordSent : public ZelvoRelay::PostAction::IPostAction {
  public:
    RecordSent(int index, size_t end, int peer, std::string& received, std::vector<int>& order)
        : mIndex(index), mEnd(end), mPeer(peer), mReceived(received), mOrder(order) {}
    void Execute() override {
        int waiting = 0;
        ASSERT_EQ(ioctl(mPeer, FIONREAD, &waiting), 0);
        EXPECT_GE(mReceived.size() + static_cast<size_t>(waiting), mEnd) << "frame " << mIndex;
        mOrder.push_back(mIndex);
    }

  private:
    int mIndex;
    size_t mEnd;
    int mPeer;
    std::string& mReceived;
    std::vector<int>& mOrder;
};

// A queue of frames far larger than the socket takes at once: each send writes what fits,
// a frame split between sends is completed later, and every frame's action runs once, in
// queue order, after its last byte was written and before a later frame's.
TEST(RelayClientTest, FramesSplitAcrossSendsArriveWholeAndTheirActionsRunInOrderOnceSent) {
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    RelayClient client(System::Net::Client(System::Net::Socket(pair[0], true)), 7);
    std::string received;
    std::vector<int> order;
    std::string expected;
    constexpr int kFrames = 40;
    for (int i = 0; i < kFrames; ++i) {
        // Every third frame carries an action; frames of 50000 bytes overrun the buffer.
        const std::string payload(i % 2 == 0 ? 50000 : 3, static_cast<char>('a' + i % 26));
        ZelvoRelay::MVC::Model::NetMessageModel entry;
        entry.Frame = System::SmartPointer<System::IO::MemoryStream>(
            new System::IO::MemoryStream(static_cast<int32_t>(payload.size() + 4)));
        const std::string frame = RelayWire::U32(static_cast<uint32_t>(payload.size())) + payload;
        entry.Frame->Write(reinterpret_cast<const unsigned char*>(frame.data()), 0,
                           static_cast<int>(frame.size()));
        expected += frame;
        if (i % 3 == 0) {
            entry.PostActions.Add(System::SmartPointer<ZelvoRelay::PostAction::IPostAction>(
                new RecordSent(i, expected.size(), pair[1], received, order)));
        }
        client.Enqueue(entry);
    }
    int sends = 0;
    while (client.Send()) {
        ++sends;
        received += Drain(pair[1]);
    }
    received += Drain(pair[1]);
    EXPECT_GT(sends, 1);
    EXPECT_EQ(received.size(), expected.size());
    EXPECT_TRUE(received == expected);
    std::vector<int> all;
    for (int i = 0; i < kFrames; i += 3) {
        all.push_back(i);
    }
    EXPECT_EQ(order, all);
    EXPECT_TRUE(client.IsConnected());
    close(pair[1]);
}

// A peer that goes away while frames wait: the client is disconnected, and the actions of
// frames never sent never run.
TEST(RelayClientTest, APeerClosingWhileFramesWaitDisconnectsWithoutRunningTheirActions) {
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    RelayClient client(System::Net::Client(System::Net::Socket(pair[0], true)), 7);
    std::string received;
    std::vector<int> order;
    const std::string frame = RelayWire::U32(60000) + std::string(60000, 'x');
    for (int i = 0; i < 20; ++i) {
        ZelvoRelay::MVC::Model::NetMessageModel entry;
        entry.Frame = System::SmartPointer<System::IO::MemoryStream>(
            new System::IO::MemoryStream(static_cast<int32_t>(frame.size())));
        entry.Frame->Write(reinterpret_cast<const unsigned char*>(frame.data()), 0,
                           static_cast<int>(frame.size()));
        entry.PostActions.Add(System::SmartPointer<ZelvoRelay::PostAction::IPostAction>(
            new RecordSent(i, frame.size() * (i + 1), pair[1], received, order)));
        client.Enqueue(entry);
    }
    ASSERT_TRUE(client.Send());
    const std::vector<int> sentBefore = order;
    close(pair[1]);
    EXPECT_FALSE(client.Send());
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(order, sentBefore);
    EXPECT_LT(order.size(), 20u);
}

}  // namespace
