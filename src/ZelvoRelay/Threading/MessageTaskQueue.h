#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>

#include "System/Object.h"
#include "System/Threading/QueueLock.h"

namespace ZelvoRelay::Client {
class QueueShare;
}

namespace ZelvoRelay::Threading {

class MessageTask;

// The message worker's tasks, served in turns. Each connection has a line of its own
// tasks, kept in the order queued; the connections with a task waiting take one turn each,
// in the order they came to have one, so that one connection's pile delays another's next
// task by at most one task of each connection, never by the pile. The server's own line
// (connection 0: answers, photo outcomes, anything not received from a client) has a
// turn after each connection's, so what the server queues never falls behind what the
// connections send. A task queued with EnqueueAfterAll waits at the head of the server's
// line until no connection has a task waiting.
//
// A connection whose request finds no room in its address's share of answers is parked: its
// turns are left out, its tasks kept in order, until the share resumes it; parked tasks are
// never taken by WaitDequeue. The connections parked for one share are resumed in the order
// they were parked, each once the share has room for the answer it waits for, so that room
// for one answer resumes one connection, not every one parked; a connection that closes is
// resumed alone, for its requests to be dropped.
//
// Queueing and taking cost the same however many tasks and connections wait: the tasks
// are linked through themselves, and a connection's line is found by its id. Every
// operation holds the queue's own lock for that change only; the consumer may wait for a
// task instead of polling. The queue owns no task.
class MessageTaskQueue : public System::Object {
  public:
    // The line of what the server queues itself.
    static constexpr uint32_t kServer = 0;

    MessageTaskQueue() = default;
    ~MessageTaskQueue() override = default;

    MessageTaskQueue(const MessageTaskQueue&) = delete;
    MessageTaskQueue& operator=(const MessageTaskQueue&) = delete;

    // Appends task to the line of the connection connectionId (kServer for the server's
    // own) and wakes a waiting consumer. The server's line takes it without allocating.
    // REQUIRES: task is in no queue.
    void Enqueue(uint32_t connectionId, MessageTask* task);
    // Appends task to the server's line, to be taken only once every task queued before it
    // has been taken and no connection has a task waiting. REQUIRES: task is in no queue.
    void EnqueueAfterAll(MessageTask* task);

    // Puts task, just taken, back at the head of its connection's line and leaves that line's
    // turns out until share has room for bytes, its answer (resumed then at once when it has
    // already). A task whose sender is gone is put back unparked, to be dropped.
    // REQUIRES: no other lock held (the share may be looked at).
    void Park(MessageTask* task, Client::QueueShare& share, uint64_t bytes);
    // Gives the connections parked for share their turns again, after every other waiting,
    // as many as share has room for, in the order they were parked.
    void Resume(Client::QueueShare& share);
    // Gives the connection connectionId its turns again if it is parked, and no other but
    // those its leaving makes room for.
    void ResumeConnection(uint32_t connectionId);
    // Gives every parked connection its turns again (at a stop).
    void ResumeAll();
    // Keeps bytes of share until every task now in the server's line has been taken and
    // deleted: an answer just queued there is then counted in its client's send queue. Gives
    // them back at once when that line is empty. REQUIRES: no queue lock held.
    void KeepUntilServed(std::shared_ptr<Client::QueueShare> share, uint64_t bytes);

    // Takes the task whose turn it is, parked ones included (at a stop); null when the queue
    // is empty. Never blocks.
    [[nodiscard]] MessageTask* Dequeue();
    // Takes the task whose turn it is, leaving parked ones parked; null when no other waits.
    // Never blocks.
    [[nodiscard]] MessageTask* TryDequeue();
    // Takes the task whose turn it is, waiting for one while the queue is empty. Returns
    // null instead when Wake was called since the last such return (or is called during
    // the wait).
    [[nodiscard]] MessageTask* WaitDequeue();
    // Makes the current or next WaitDequeue return null, so that a consumer asked to stop
    // sees the request.
    void Wake();

  private:
    // One connection's (or the server's) waiting tasks, oldest first.
    struct Line {
        uint32_t mConnectionId{kServer};
        MessageTask* mHead{nullptr};
        MessageTask* mTail{nullptr};
        Line* mNextInTurn{nullptr};  // the connection whose turn comes after this one's
        size_t mCount{0};            // its tasks
        bool mInTurn{false};         // linked among the turns (a parked line may still be)
        // While parked (its turns left out until resumed): the share it waits for, what its
        // first task's answer needs of it, and the lines parked before and after it for that
        // share. Null and unlinked otherwise.
        Client::QueueShare* mParkedFor{nullptr};
        uint64_t mAwaited{0};
        Line* mPrevParked{nullptr};
        Line* mNextParked{nullptr};
    };

    // The lines parked for one share, oldest first.
    struct Parked {
        Line* mFirst{nullptr};
        Line* mLast{nullptr};
    };

    // REQUIRES: mLock held.
    void Append(Line& line, MessageTask* task);
    // Gives line its turn after every other. REQUIRES: mLock held; line not in turn.
    void Link(Line& line);
    // Takes the parked lines at the head of the turns out of them. REQUIRES: mLock held.
    void SkipParked();
    // Resumes the lines parked for share that it has room for, first parked first, and tells
    // it what the first left waits for. REQUIRES: mLock held.
    void ResumeLocked(Client::QueueShare& share);
    // Gives line, parked, its turns again. REQUIRES: mLock held.
    void Unpark(Line& line);
    // REQUIRES: mLock held.
    void ResumeAllLocked();
    // REQUIRES: mLock held.
    MessageTask* TakeTurn();
    // Whether the head of the server's line may be taken now. REQUIRES: mLock held.
    [[nodiscard]] bool ServerMayGo() const;
    // REQUIRES: mLock held; line not empty.
    MessageTask* TakeHead(Line& line);

    // Guards every member below. Last in the lock order: nothing else is entered while it
    // is held.
    System::Threading::QueueLock mLock;
    // The lines of the connections with a task waiting; a line is let go once empty.
    std::unordered_map<uint32_t, Line> mConnections;
    Line* mFirstInTurn{nullptr};  // the connection whose turn is next; null when none waits
    Line* mLastInTurn{nullptr};   // the connection that came to wait last
    Line mServer;                 // the server's own tasks
    bool mServerTurn{false};      // a connection took the last turn: the server's comes next
    size_t mCount{0};             // tasks waiting in every line
    size_t mParkedCount{0};       // those of them in parked lines
    // The connections parked for want of room, by the share they wait for; a share is let go
    // once none waits for it.
    std::unordered_map<Client::QueueShare*, Parked> mParked;
};

}  // namespace ZelvoRelay::Threading
