#include "ZelvoRelay/Threading/MessageTaskQueue.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "System/String.h"
#include "ZelvoRelay/Client/QueueShare.h"
#include "ZelvoRelay/Message/Chat/ChatMessage.h"
#include "ZelvoRelay/Message/Registration/UserLeftMessage.h"
#include "ZelvoRelay/Threading/MessageTask.h"
#include "ZelvoRelay/Threading/ReceiveBacklog.h"

namespace {

using ZelvoRelay::Client::QueueShare;
using ZelvoRelay::Threading::MessageTask;
using ZelvoRelay::Threading::MessageTaskQueue;
using ZelvoRelay::Threading::ReceiveBacklog;

constexpr uint64_t kShareBytes = QueueShare::kBytes;
// What a parked request's answer needs of the share.
constexpr uint64_t kAnswer = 1000;

// What the client sent.
MessageTask* Received(uint32_t clientId) {
    return new MessageTask(
        new ZelvoRelay::Message::Chat::ChatMessage(clientId, System::String("x")), clientId);
}

// An answer to the client.
MessageTask* Answer(uint32_t clientId) {
    return new MessageTask(new ZelvoRelay::Message::Chat::ChatMessage(0, System::String("y")),
                           clientId, 0);
}

// What a client that has not joined sent, counted in backlog as the relay counts it.
MessageTask* ReceivedFrom(uint32_t clientId, const std::shared_ptr<ReceiveBacklog>& backlog) {
    MessageTask* task = Received(clientId);
    task->CountIn(backlog);
    return task;
}

// Queues a request of each of the connections 1 to count and parks each for share, which
// has no room, as the message worker does when their answers would not fit; returns how many
// were parked.
size_t ParkEach(MessageTaskQueue& queue, QueueShare& share, uint32_t count) {
    for (uint32_t id = 1; id <= count; ++id) {
        queue.Enqueue(id, Received(id));
    }
    size_t parked = 0;
    while (MessageTask* task = queue.TryDequeue()) {
        queue.Park(task, share, kAnswer);
        ++parked;
    }
    return parked;
}

// Takes every task not parked and deletes it; returns the connections they were taken for.
std::vector<uint32_t> TakeUnparked(MessageTaskQueue& queue) {
    std::vector<uint32_t> taken;
    while (MessageTask* task = queue.TryDequeue()) {
        taken.push_back(task->GetTurnOf());
        task->Discard();
    }
    return taken;
}

// Queues each task in its own turn, as the relay does, then takes every task.
std::vector<MessageTask*> Served(MessageTaskQueue& queue, const std::vector<MessageTask*>& tasks) {
    for (MessageTask* task : tasks) {
        queue.Enqueue(task->GetTurnOf(), task);
    }
    std::vector<MessageTask*> served;
    while (MessageTask* task = queue.Dequeue()) {
        served.push_back(task);
    }
    for (MessageTask* task : served) {
        task->Discard();
    }
    return served;
}

}  // namespace

// Client 1 sent three messages and left; client 2 sent one; the server queued answers and a
// photo's outcome. Each client's messages come in order, its leaving notice after them, one
// client's per turn, and the server's own tasks have a turn after each client's.
TEST(MessageTaskQueueTest, ConnectionsTakeTurnsInOrderWithTheServerBetweenThem) {
    MessageTaskQueue queue;
    MessageTask* first = Received(1);
    MessageTask* second = Received(1);
    MessageTask* third = Received(1);
    auto* left = new MessageTask(new ZelvoRelay::Message::Registration::UserLeftMessage(1), 0, 1);
    MessageTask* other = Received(2);
    MessageTask* answer = Answer(2);
    auto* outcome = new MessageTask(nullptr, 1);
    MessageTask* lastAnswer = Answer(1);
    EXPECT_EQ(Served(queue, {first, second, third, left, other, answer, outcome, lastAnswer}),
              (std::vector<MessageTask*>{first, answer, other, outcome, second, lastAnswer, third,
                                         left}));
}

// The stop's mark is taken once everything queued before it has been, and no connection has
// a task left, however many come after it; the server's tasks queued after it wait behind it.
TEST(MessageTaskQueueTest, ATaskQueuedAfterAllWaitsForEveryConnection) {
    MessageTaskQueue queue;
    MessageTask* before = Answer(3);
    queue.Enqueue(MessageTaskQueue::kServer, before);
    auto* mark = new MessageTask(nullptr, 0, 0);
    queue.EnqueueAfterAll(mark);
    MessageTask* after = Answer(3);
    MessageTask* first = Received(1);
    MessageTask* second = Received(1);
    MessageTask* other = Received(2);
    EXPECT_EQ(Served(queue, {after, first, second, other}),
              (std::vector<MessageTask*>{first, before, other, second, mark, after}));
}

// Connection 1's request found no room in its share and was parked, behind it one more of its
// own; connection 2's request had no room either, its only one until another came. Parked,
// their turns are left out, whether or not they were still waiting for one, while connection
// 3 and the server go on; resumed, each comes after those waiting, its requests once each and
// in order.
TEST(MessageTaskQueueTest, AParkedConnectionKeepsItsTasksInOrderUntilItsShareResumesIt) {
    MessageTaskQueue queue;
    ZelvoRelay::Client::QueueShare share;
    ASSERT_TRUE(share.Reserve(kShareBytes));
    MessageTask* first = Received(1);
    MessageTask* second = Received(1);
    MessageTask* only = Received(2);
    queue.Enqueue(1, first);
    queue.Enqueue(1, second);
    queue.Enqueue(2, only);
    ASSERT_EQ(queue.WaitDequeue(), first);
    queue.Park(first, share, 1);
    ASSERT_EQ(queue.WaitDequeue(), only);
    queue.Park(only, share, 1);
    // Read before its connection was parked.
    MessageTask* next = Received(2);
    queue.Enqueue(2, next);
    MessageTask* answer = Answer(3);
    queue.Enqueue(MessageTaskQueue::kServer, answer);
    std::vector<MessageTask*> served{queue.WaitDequeue()};
    MessageTask* other = Received(3);
    queue.Enqueue(3, other);
    served.push_back(queue.WaitDequeue());
    // Only parked tasks wait: the queue has nothing to give until the share resumes them.
    EXPECT_EQ(queue.TryDequeue(), nullptr);
    queue.Wake();
    served.push_back(queue.WaitDequeue());
    share.Unreserve(kShareBytes);
    MessageTask* later = Received(3);
    queue.Enqueue(3, later);
    while (MessageTask* task = queue.Dequeue()) {
        served.push_back(task);
    }
    EXPECT_EQ(served, (std::vector<MessageTask*>{answer, other, nullptr, first, only, later, second,
                                                 next}));
    for (MessageTask* task : served) {
        if (task != nullptr) {
            task->Discard();
        }
    }
}

// Bytes of a share kept for what the server has queued are given back once that is served,
// and at once when the server has nothing queued: kept for nothing, they would leave the
// address's connections unanswered for good.
TEST(MessageTaskQueueTest, BytesKeptUntilServedComeBackOnceTheServersTasksAreDone) {
    MessageTaskQueue queue;
    auto share = std::make_shared<ZelvoRelay::Client::QueueShare>();
    constexpr uint64_t kAll = ZelvoRelay::Client::QueueShare::kBytes;
    ASSERT_TRUE(share->Reserve(kAll));
    queue.KeepUntilServed(share, kAll);
    EXPECT_TRUE(share->Reserve(kAll));

    MessageTask* answer = Answer(1);
    queue.Enqueue(MessageTaskQueue::kServer, answer);
    queue.KeepUntilServed(share, kAll);
    EXPECT_FALSE(share->Reserve(1));
    ASSERT_EQ(queue.Dequeue(), answer);
    EXPECT_FALSE(share->Reserve(1));
    answer->Discard();
    EXPECT_TRUE(share->Reserve(kAll));
}

// Three connections of an address wait for room in its share; the second closes, giving back
// less than the first waits for. Only the second's request is taken again, to be dropped: the
// others stay parked, and its closing costs nothing for them. Before, every closing put every
// parked connection of its address back in line, where each was parked again, and a party
// resetting 1,000 parked connections stalled the room for seconds.
TEST(MessageTaskQueueTest, AClosingConnectionResumesOnlyItsOwnParkedRequests) {
    MessageTaskQueue queue;
    QueueShare share;
    ASSERT_TRUE(share.Reserve(kShareBytes));
    ASSERT_EQ(ParkEach(queue, share, 3), 3u);
    share.EndWaiting(2);
    share.Unreserve(kAnswer / 2);
    EXPECT_EQ(TakeUnparked(queue), (std::vector<uint32_t>{2}));
    share.Unreserve(kShareBytes - kAnswer / 2);
    EXPECT_EQ(TakeUnparked(queue), (std::vector<uint32_t>{1, 3}));
}

// Room given back for one parked request resumes the first parked, not every one: the others,
// taken again, would only find no room and be parked again, once for each room given back.
TEST(MessageTaskQueueTest, RoomForOneAnswerResumesTheFirstParkedConnectionOnly) {
    MessageTaskQueue queue;
    QueueShare share;
    ASSERT_TRUE(share.Reserve(kShareBytes));
    ASSERT_EQ(ParkEach(queue, share, 3), 3u);
    share.Unreserve(kAnswer * 3 / 2);
    EXPECT_EQ(TakeUnparked(queue), (std::vector<uint32_t>{1}));
    EXPECT_TRUE(share.IsFull());
    share.Unreserve(kShareBytes - kAnswer * 3 / 2);
    EXPECT_EQ(TakeUnparked(queue), (std::vector<uint32_t>{2, 3}));
    EXPECT_FALSE(share.IsFull());
}

// A connection that closed while its request was being handled, after its closing had looked
// for it among the parked and before the worker parked it: the request is put back unparked,
// to be dropped, and the connection can leave. Parked, it would wait for room it never needs.
TEST(MessageTaskQueueTest, ARequestOfAConnectionAlreadyClosedIsNotParked) {
    MessageTaskQueue queue;
    QueueShare share;
    ASSERT_TRUE(share.Reserve(kShareBytes));
    auto backlog = std::make_shared<ReceiveBacklog>();
    queue.Enqueue(1, ReceivedFrom(1, backlog));
    MessageTask* request = queue.TryDequeue();
    ASSERT_NE(request, nullptr);
    backlog->EndAnswers();
    share.EndWaiting(1);
    queue.Park(request, share, kAnswer);
    EXPECT_EQ(TakeUnparked(queue), (std::vector<uint32_t>{1}));
    EXPECT_EQ(backlog->Count(), 0u);
}
