#include "ZelvoRelay/Threading/MessageTaskQueue.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "System/String.h"
#include "ZelvoRelay/Message/Chat/ChatMessage.h"
#include "ZelvoRelay/Message/Registration/UserLeftMessage.h"
#include "ZelvoRelay/Threading/MessageTask.h"

namespace {

using ZelvoRelay::Threading::MessageTask;
using ZelvoRelay::Threading::MessageTaskQueue;

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
