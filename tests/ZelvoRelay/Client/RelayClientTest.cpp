#include "ZelvoRelay/Client/RelayClient.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "System/IO/MemoryStream.h"
#include "System/Net/Socket.h"
#include "System/Singleton.h"
#include "System/SmartPointer.h"
#include "System/Threading/WakeEvent.h"
#include "ZelvoRelay/Client/QueueShare.h"
#include "ZelvoRelay/MVC/Model/NetMessageModel.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/Chat/ChatMessage.h"
#include "ZelvoRelay/PostAction/IPostAction.h"
#include "ZelvoRelay/Threading/MessageTask.h"
#include "ZelvoRelay/Threading/MessageTaskQueue.h"
#include "support/RawSocket.h"
#include "support/RelayWire.h"

namespace {

using ZelvoRelay::Client::RelayClient;
using ZelvoRelay::MVC::Model::ZelvoRelayModel;

// A relay client over one end of a socket pair; the test holds the other end, mPeer.
class RelayClientTest : public ::testing::Test {
  protected:
    void SetUp() override {
        int pair[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
        mClient = std::make_unique<RelayClient>(
            System::Net::Client(System::Net::Socket(pair[0], true), System::Net::IPEndPoint()), 7);
        mPeer = pair[1];
    }
    void TearDown() override {
        if (mPeer >= 0) {
            close(mPeer);
        }
        System::Singleton<ZelvoRelayModel>::Destroy();
    }

    // Sends bytes from the peer, all at once.
    void PeerSends(const std::string& bytes) {
        ASSERT_EQ(send(mPeer, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
    }

    // A queue entry for frame, with action to run once it is sent when there is one.
    static ZelvoRelay::MVC::Model::NetMessageModel Entry(
        const std::string& frame, ZelvoRelay::PostAction::IPostAction* action = nullptr) {
        ZelvoRelay::MVC::Model::NetMessageModel entry;
        entry.Frame = System::SmartPointer<System::IO::MemoryStream>(
            new System::IO::MemoryStream(static_cast<int32_t>(frame.size())));
        entry.Frame->Write(reinterpret_cast<const unsigned char*>(frame.data()), 0,
                           static_cast<int>(frame.size()));
        if (action != nullptr) {
            entry.PostActions.Add(
                System::SmartPointer<ZelvoRelay::PostAction::IPostAction>(action));
        }
        return entry;
    }

    // Takes every task the client queued for the message worker and deletes it, as the
    // worker does; how many there were.
    static uint32_t TakeQueued() {
        uint32_t taken = 0;
        while (ZelvoRelay::Threading::MessageTask* task =
                   ZelvoRelayModel::Instance()->Messages.mTasks.Dequeue()) {
            EXPECT_EQ(task->SenderId, 7u);
            delete task->Message;
            delete task;
            ++taken;
        }
        return taken;
    }

    // What ReadChatsUntilSpent took.
    struct Taken {
        uint64_t mBytes{0};  // the frames' bytes, their lengths included
        bool mSpent{false};  // a read found the relay budget spent
    };
    // The peer sends 250-byte chats, at most limit bytes of them, as fast as the client reads
    // them at time now; each is handled as the message worker does. Ends once a read finds
    // the client's relay budget spent, or the client has read every chat.
    Taken ReadChatsUntilSpent(double now, uint64_t limit) {
        const std::string chat = RelayWire::ChatText(std::string(250, 'c'));
        const std::string frame = RelayWire::U32(static_cast<uint32_t>(chat.size())) + chat;
        std::string frames;
        while (frames.size() + frame.size() <= limit) {
            frames += frame;
        }
        Taken taken;
        char buffer[16384];
        for (size_t sent = 0;;) {
            const ssize_t n = send(mPeer, frames.data() + sent,
                                   std::min<size_t>(frames.size() - sent, 65536), MSG_DONTWAIT);
            sent += n > 0 ? static_cast<size_t>(n) : 0;
            const RelayClient::Received received =
                mClient->Receive(buffer, 0, sizeof buffer, now, nullptr);
            taken.mBytes += TakeQueued() * frame.size();
            taken.mSpent = received == RelayClient::Received::Spent;
            if (taken.mSpent || taken.mBytes == frames.size() ||
                received == RelayClient::Received::Closed) {
                return taken;
            }
        }
    }

    std::unique_ptr<RelayClient> mClient;
    int mPeer{-1};
};

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
TEST_F(RelayClientTest, IsNotReadWhileTooManyOfItsMessagesWaitForTheMessageWorker) {
    ZelvoRelayModel* model = ZelvoRelayModel::Instance();  // no worker runs
    const uint32_t total = RelayClient::kMaxPendingMessages + 10;
    std::string frames;
    for (uint32_t i = 0; i < total; ++i) {
        char text[8];
        std::snprintf(text, sizeof text, "%03u", i);
        const std::string chat = RelayWire::ChatText(text);
        frames += RelayWire::U32(static_cast<uint32_t>(chat.size())) + chat;
    }
    PeerSends(frames);

    // Each read takes one frame.
    const uint32_t frameSize = static_cast<uint32_t>(frames.size() / total);
    char buffer[64];
    uint32_t next = 0;
    for (uint32_t i = 0; i < total; ++i) {
        mClient->Receive(buffer, 0, frameSize, 0.0, nullptr);
    }
    EXPECT_EQ(HandleQueued(*model, next), RelayClient::kMaxPendingMessages);
    for (uint32_t i = 0; i < total; ++i) {
        mClient->Receive(buffer, 0, frameSize, 0.0, nullptr);
    }
    EXPECT_EQ(HandleQueued(*model, next), 10u);
    EXPECT_TRUE(mClient->IsConnected());
}

// A client that sends faster than its messages are handled is left unread past a backlog:
// its bytes wait in the socket instead of the server's memory, and none is lost. Nor does
// one read bring in more messages than may wait, however many of the shortest frames the
// buffer could hold.
TEST_F(RelayClientTest, IsLeftUnreadWhileTooManyOfItsMessagesWaitAndLosesNone) {
    ZelvoRelayModel::Instance();  // no worker runs
    constexpr uint32_t kFrames = 1000;
    std::string frames;
    for (uint32_t i = 0; i < kFrames; ++i) {
        frames += RelayWire::U32(1) + RelayWire::U8(RelayWire::Chat);
    }
    PeerSends(frames);
    char buffer[16384];
    EXPECT_EQ(mClient->Receive(buffer, 0, sizeof buffer, 0.0, nullptr),
              RelayClient::Received::Data);
    EXPECT_EQ(mClient->Receive(buffer, 0, sizeof buffer, 0.0, nullptr),
              RelayClient::Received::Held);
    uint32_t taken = TakeQueued();
    EXPECT_EQ(taken, RelayClient::kMaxPendingMessages);
    for (int read = 0; taken < kFrames && read < 100; ++read) {
        mClient->Receive(buffer, 0, sizeof buffer, 0.0, nullptr);
        const uint32_t queued = TakeQueued();
        EXPECT_LE(queued, RelayClient::kMaxPendingMessages);
        taken += queued;
    }
    EXPECT_EQ(taken, kFrames);
    EXPECT_TRUE(mClient->IsConnected());
}

constexpr double kBudgetRate = ZelvoRelay::Client::RelayBudget::kBytesPerSecond;
constexpr double kBudgetBurst = ZelvoRelay::Client::RelayBudget::kBurstBytes;

// Chat is relayed to the room like voice and counts against the budget like it: a client that
// sends nothing but chat is left unread once past its burst, its bytes waiting in its socket.
TEST_F(RelayClientTest, ChatAlonePastTheBudgetIsLeftUnread) {
    ZelvoRelayModel::Instance();  // no worker runs
    const Taken taken = ReadChatsUntilSpent(0.0, 2 * static_cast<uint64_t>(kBudgetBurst));
    EXPECT_TRUE(taken.mSpent);
    EXPECT_GE(taken.mBytes, kBudgetBurst);
    EXPECT_LE(taken.mBytes, kBudgetBurst + 1024);
    EXPECT_TRUE(mClient->IsConnected());
}

// Once past its budget, a client is read again when the budget allows several KiB, not a frame
// or two: read again as soon as one frame was allowed, a throttled member was read, and its
// worker woken, about a thousand times a second. The average still holds.
TEST_F(RelayClientTest, AClientPastItsBudgetIsReadAgainOnlyOnceSeveralKiBMayCome) {
    ZelvoRelayModel::Instance();  // no worker runs
    const uint64_t limit = 2 * static_cast<uint64_t>(kBudgetBurst);
    const Taken burst = ReadChatsUntilSpent(0.0, limit);
    ASSERT_TRUE(burst.mSpent);
    const double readable = mClient->GetReadableAt();
    const Taken next = ReadChatsUntilSpent(readable, limit);
    EXPECT_TRUE(next.mSpent);
    EXPECT_GE(next.mBytes, 8u * 1024) << "read again " << readable << " s after the burst";
    EXPECT_LE(burst.mBytes + next.mBytes, kBudgetBurst + readable * kBudgetRate + 1024);
}

// While answers wait for room in its address's share, a connection that has not joined is not
// read past the request it already sent: its next requests wait in its socket, not in the
// task queue. Once that request has been handled, its worker is woken and it is read again,
// losing nothing.
TEST_F(RelayClientTest, IsNotReadPastARequestWaitingWhileItsSharesAnswersWaitForRoom) {
    ZelvoRelayModel::Instance();  // no worker runs
    auto share = std::make_shared<ZelvoRelay::Client::QueueShare>();
    mClient->ShareQueue(share);
    ASSERT_TRUE(share->Reserve(ZelvoRelay::Client::QueueShare::kBytes));
    // Another connection of the address has a request waiting for room.
    ZelvoRelay::Threading::MessageTaskQueue waiting;
    waiting.Enqueue(8, new ZelvoRelay::Threading::MessageTask(
                           new ZelvoRelay::Message::Chat::ChatMessage(8, System::String("x")), 8));
    waiting.Park(waiting.TryDequeue(), *share, 1);
    ASSERT_TRUE(share->IsFull());
    const std::string chat = RelayWire::ChatText("001");
    const std::string frame = RelayWire::U32(static_cast<uint32_t>(chat.size())) + chat;
    System::Threading::WakeEvent wake;
    char buffer[256];
    PeerSends(frame);
    EXPECT_NE(mClient->Receive(buffer, 0, sizeof buffer, 0.0, &wake),
              RelayClient::Received::Closed);
    PeerSends(frame);
    EXPECT_EQ(mClient->Receive(buffer, 0, sizeof buffer, 0.0, &wake), RelayClient::Received::Held);
    EXPECT_TRUE(mClient->IsHeld());
    EXPECT_EQ(TakeQueued(), 1u);
    EXPECT_FALSE(mClient->IsHeld());
    pollfd woken{wake.GetDescriptor(), POLLIN, 0};
    EXPECT_EQ(poll(&woken, 1, 0), 1);
    EXPECT_NE(mClient->Receive(buffer, 0, sizeof buffer, 0.0, &wake), RelayClient::Received::Held);
    EXPECT_EQ(TakeQueued(), 1u);
    EXPECT_TRUE(mClient->IsConnected());
    share->Unreserve(ZelvoRelay::Client::QueueShare::kBytes);
    waiting.TryDequeue()->Discard();
}

// A connection that has not joined and whose peer reset it is closed at once, its pipelined
// requests left unread: nothing could answer them. Before, it was read to its end, each
// request queued for the message worker to drop, and 15,000 such connections reset at once
// held the room's chat and joins for seconds.
TEST_F(RelayClientTest, AResetConnectionThatHasNotJoinedIsClosedWithItsRequestsUnread) {
    ZelvoRelayModel::Instance();  // no worker runs
    mClient->ShareQueue(std::make_shared<ZelvoRelay::Client::QueueShare>());
    const std::string listing = RelayWire::Message(RelayWire::GetMediaInfo, 0,
                                                   RelayWire::U32(0xFFFFFFFF) + RelayWire::U8(1));
    PeerSends(RelayWire::U32(static_cast<uint32_t>(listing.size())) + listing);
    mClient->GetWorkerState().mPeerReset = true;
    System::Threading::WakeEvent wake;
    char buffer[256];
    EXPECT_EQ(mClient->Receive(buffer, 0, sizeof buffer, 0.0, &wake),
              RelayClient::Received::Closed);
    EXPECT_EQ(TakeQueued(), 0u);
    EXPECT_FALSE(mClient->IsConnected());
}

// What a stalled reader's queue may hold is bounded by what the frames take in memory:
// counted by their bytes alone, millions of tiny frames would fit under the limit.
TEST_F(RelayClientTest, IsDisconnectedOnceTinyFramesQueuedForItTakeTooMuchMemory) {
    const auto entry = Entry(RelayWire::U32(1) + RelayWire::U8(RelayWire::Chat));
    // One mebibyte of frame bytes, a sixteenth of the limit.
    for (uint32_t i = 0; i < (1u << 20) / 5; ++i) {
        mClient->Enqueue(entry);
    }
    mClient->Send();
    EXPECT_FALSE(mClient->IsConnected());
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
TEST_F(RelayClientTest, FramesSplitAcrossSendsArriveWholeAndTheirActionsRunInOrderOnceSent) {
    std::string received;
    std::vector<int> order;
    std::string expected;
    constexpr int kFrames = 40;
    for (int i = 0; i < kFrames; ++i) {
        // Every third frame carries an action; frames of 50000 bytes overrun the buffer.
        const std::string payload(i % 2 == 0 ? 50000 : 3, static_cast<char>('a' + i % 26));
        const std::string frame = RelayWire::U32(static_cast<uint32_t>(payload.size())) + payload;
        expected += frame;
        mClient->Enqueue(
            Entry(frame, i % 3 == 0 ? new RecordSent(i, expected.size(), mPeer, received, order)
                                    : nullptr));
    }
    int sends = 0;
    while (mClient->Send()) {
        ++sends;
        received += TestSupport::ReceiveWaiting(mPeer);
    }
    received += TestSupport::ReceiveWaiting(mPeer);
    EXPECT_GT(sends, 1);
    EXPECT_EQ(received.size(), expected.size());
    EXPECT_TRUE(received == expected);
    std::vector<int> all;
    for (int i = 0; i < kFrames; i += 3) {
        all.push_back(i);
    }
    EXPECT_EQ(order, all);
    EXPECT_TRUE(mClient->IsConnected());
}

// A peer that goes away while frames wait: nothing more is sent to it and the actions of
// frames never sent never run, but what it sent before it went is still read and
// handled; the client is disconnected once the read finds the end.
TEST_F(RelayClientTest, APeerClosingWhileFramesWaitIsSentNoMoreButReadToTheEnd) {
    std::string received;
    std::vector<int> order;
    const std::string frame = RelayWire::U32(60000) + std::string(60000, 'x');
    for (int i = 0; i < 20; ++i) {
        mClient->Enqueue(
            Entry(frame, new RecordSent(i, frame.size() * (i + 1), mPeer, received, order)));
    }
    ASSERT_TRUE(mClient->Send());
    const std::vector<int> sentBefore = order;
    PeerSends(RelayWire::U32(6) + RelayWire::ChatText(""));
    close(mPeer);
    mPeer = -1;
    EXPECT_FALSE(mClient->Send());
    mClient->Enqueue(Entry(frame, new RecordSent(20, 0, -1, received, order)));
    EXPECT_FALSE(mClient->Send());
    EXPECT_EQ(order, sentBefore);
    EXPECT_LT(order.size(), 20u);

    EXPECT_TRUE(mClient->IsConnected());
    char buffer[16384];
    EXPECT_NE(mClient->Receive(buffer, 0, sizeof buffer, 0.0, nullptr),
              RelayClient::Received::Closed);
    EXPECT_EQ(TakeQueued(), 1u);
    EXPECT_EQ(mClient->Receive(buffer, 0, sizeof buffer, 0.0, nullptr),
              RelayClient::Received::Closed);
    EXPECT_FALSE(mClient->IsConnected());
}

}  // namespace
