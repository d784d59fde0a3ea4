#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <list>
#include <map>
#include <memory>
#include <vector>

#include "System/Collections/RecyclingAllocator.h"
#include "System/Event.h"
#include "System/EventManager.h"
#include "System/Net/Client.h"
#include "System/Net/IPEndPoint.h"
#include "System/Net/NetStream.h"
#include "System/Object.h"
#include "System/SmartPointer.h"
#include "System/Threading/ThreadProperty.h"
#include "System/Threading/WakeEvent.h"
#include "ZelvoRelay/Client/QueueShare.h"
#include "ZelvoRelay/Client/RelayBudget.h"
#include "ZelvoRelay/MVC/Model/NetMessageModel.h"
#include "ZelvoRelay/MVC/Model/UserModel.h"
#include "ZelvoRelay/Message/BaseMessage.h"
#include "ZelvoRelay/Threading/MessageTask.h"

namespace ZelvoRelay::Threading {
class ClientThreadWorker;
class HeldClients;
class ReceiveBacklog;
}  // namespace ZelvoRelay::Threading

namespace ZelvoRelay::Client {

// One connected relay client: its accepted TCP connection (non-blocking, served by a
// client worker, never given a thread), the framing of its byte stream, its user model
// and its queue of outgoing frames.
//
// Receive, Send and the stream callbacks run on the client worker that serves the
// client (post-send actions run there too), ReceiveRest and its stream callbacks on the
// stopping thread once that worker has stopped; Enqueue and Disconnect may run on any
// thread that holds the client-collection monitor, and tell the worker what it has to
// do.
class RelayClient : public System::Object {
  public:
    // The largest frame payload accepted is one byte less.
    static constexpr uint32_t kMaxMessageSize = 32768;
    // A client with more unsent bytes queued than this is disconnected.
    static constexpr uint64_t kMaxQueuedBytes = QueueShare::kBytes;
    // What each queued frame counts against kMaxQueuedBytes beside its own bytes: about
    // what its queue entry and its frame's bookkeeping take in memory.
    static constexpr uint64_t kQueuedFrameCost = 256;
    // A client with this many received messages still waiting for the message worker is
    // not read until the worker has handled some; a read takes no more bytes than could
    // make up the messages still allowed (one more may complete a message begun before).
    static constexpr uint32_t kMaxPendingMessages = 64;
    // The same bound for a client that has not joined, which is read again once half of
    // them have been handled. It holds its waiting requests for itself, outside its
    // address's share: 15,000 such connections pipelining listings, 64 requests waiting
    // each, held over half a GB. From its join on, or once its peer has ended its stream, a
    // client has the bound above.
    static constexpr uint32_t kMaxUnjoinedPendingMessages = 4;

    // A client without a connection and with client id 0.
    RelayClient();
    // Takes over the accepted connection (sharing its descriptor) under the given id,
    // with a UDP descriptor of its own opened here.
    RelayClient(const System::Net::Client& accepted, uint32_t clientId);
    // The same with the UDP descriptor given (the client closes it).
    RelayClient(const System::Net::Client& accepted, const System::Net::Socket& udp,
                uint32_t clientId);
    // Closes both sockets; queued frames are released unsent, their actions unrun.
    ~RelayClient() override;

    RelayClient(const RelayClient&) = delete;
    RelayClient& operator=(const RelayClient&) = delete;

    // Whether the TCP connection is still open (also after a send error, until its
    // read side has ended).
    [[nodiscard]] bool IsConnected();
    // Closes the connection without waiting; the client's worker is told, and removes
    // the client (RemoveRelayClientEvent). Frames queued from now on are dropped.
    void Disconnect();

    // What one Receive found.
    enum class Received {
        Data,     // the read was filled; more may wait
        Drained,  // nothing more waits in the socket for now
        Held,     // too many of the client's messages wait for the message worker
        Spent,    // the client's relay budget is in debt until GetReadableAt()
        Closed,   // the connection ended (and the client is disconnected)
    };
    // One non-blocking receive into buffer at time now (seconds on a clock that never
    // goes back); complete messages become tasks for the message worker. A closed
    // connection or a receive error disconnects. Nothing is read while
    // kMaxPendingMessages (kMaxUnjoinedPendingMessages before it joined) of the client's
    // messages wait for the worker: the client is then held until the backlog falls back
    // (wake is signalled). Nor while what it sent
    // to be relayed to the room has spent its relay budget: it may be read again at
    // GetReadableAt().
    Received Receive(char* buffer, uint32_t offset, uint32_t size, double now,
                     System::Threading::WakeEvent* wake);
    // After Receive found the relay budget spent: when the client is to be read again, once
    // the budget allows a read of several KiB.
    [[nodiscard]] double GetReadableAt() const { return mBudget.ResumesAt(); }
    // At a stop, once the client's worker has stopped: reads and frames what the socket
    // holds now, however many of the client's messages wait, so that what it sent before
    // the stop is handled. Bytes that arrive meanwhile are left: however long a client
    // goes on sending, the stop reads no more of it than its socket held when the stop
    // came.
    void ReceiveRest(char* buffer, uint32_t size);
    // Whether the client was held by Receive and may not be read yet.
    [[nodiscard]] bool IsHeld() const;
    // For a closed client: holds it until every message it sent has been handled, then
    // signals wake. False when none waits any more.
    [[nodiscard]] bool HoldUntilHandled(System::Threading::WakeEvent* wake);
    // Writes queued frames, as many as the socket takes, in as few calls as it takes
    // them; runs each frame's post-send actions, in order, once the frame is fully
    // sent and after leaving the queue's monitor. Returns true when frames wait for
    // the socket to take more (its writable readiness), false when the queue is
    // empty or sending has ended. An overflowed queue disconnects the client here; a
    // send error ends sending, while the client is still read to the end.
    bool Send();
    // Appends message (a copy sharing its frame) at the tail of the send queue and
    // tells the client's worker when the queue was idle. Takes the send-queue
    // monitor; REQUIRES the client-collection monitor held, which comes before it in
    // the lock order.
    void Enqueue(MVC::Model::NetMessageModel message);
    // The same for each of messages, in order, under one taking of the send-queue monitor;
    // leaves messages empty.
    void Enqueue(std::vector<MVC::Model::NetMessageModel>& messages);

    // Counts the client's unsent bytes, from now on, in share, the count of the connections
    // of its address that have not joined, taken together against kMaxQueuedBytes, which its
    // answers are taken from before they are made; null takes them out of the share the
    // client counted in, for good (it joined). Takes the send-queue monitor; REQUIRES the
    // client-collection monitor held, and a share given only before the client is read.
    void ShareQueue(std::shared_ptr<QueueShare> share);
    // The unsent bytes the client counts in its address's share; 0 when it counts in none.
    // Takes the send-queue monitor.
    [[nodiscard]] uint64_t GetSharedBytes();
    // Closes the client as one whose queue has overflowed (on its worker's next send), its
    // bytes taken out of its address's share at once. Takes the send-queue monitor.
    void CloseAsSlowReader();
    // Once the client is closed: lets go of the frames it will never be sent, their actions
    // unrun. Worker thread only, outside Send. Takes the send-queue monitor.
    void DropUnsent();

    // Counts task among the client's received messages that wait to be handled, for
    // as long as it lives.
    void CountIn(Threading::MessageTask& task) { task.CountIn(mBacklog); }

    // From now on the end of the client's hold is reported to held (its worker's), which then
    // gives the client back to its worker. Called once, before the client is read.
    void ReportHoldEndsTo(Threading::HeldClients* held);

    // Hands the client to worker, which from now on is told of frames to send and of
    // the closing, and is told at once of what is queued or of a closing that came
    // first. Called once, by the worker's Add.
    void Attach(Threading::ClientThreadWorker* worker);

    // Bookkeeping of the worker that serves the client; touched by that worker only,
    // under its list's monitor. The places are indexes in the worker's lists
    // (Threading::ClientList), kUnlisted when the client is not in that list.
    struct WorkerState {
        static constexpr uint32_t kUnlisted = UINT32_MAX;
        uint32_t mServed{kUnlisted};   // place among the clients the worker serves
        uint32_t mToRead{kUnlisted};   // place among those to read in the next turn
        uint32_t mHeld{kUnlisted};     // place among those held
        uint32_t mLeaving{kUnlisted};  // place among those closed, waiting for their
                                       // messages to be handled
        bool mAwaitingRoom{false};     // frames wait for the socket's writable readiness
        bool mToSend{false};           // listed for a send in the worker's current turn
        bool mPeerEnded{false};        // the peer's end of stream was reported
        bool mPeerReset{false};        // the connection's failure (a reset) was reported
        bool mHeldToLeave{false};      // has been held once its connection closed
        // Its entry among those waiting for their relay budget, by the time it allows a read,
        // while mSpent.
        std::multimap<double, RelayClient*>::iterator mSpentEntry;
        bool mSpent{false};
        // Its entry among the connections that must join by a time, while mMustJoin.
        std::list<RelayClient*>::iterator mJoinEntry;
        bool mMustJoin{false};
        double mJoinDeadline{0.0};  // when it must have joined, while mMustJoin
    };
    WorkerState& GetWorkerState() { return mWorkerState; }

    System::Net::Client& GetTcpClient() { return mTcpClient; }
    // The peer's end point of the TCP connection, network order.
    [[nodiscard]] System::Net::IPEndPoint GetTcpEndPoint() const {
        return mTcpClient.GetEndPoint();
    }
    // The end point of the client's own UDP descriptor, network order.
    [[nodiscard]] System::Net::IPEndPoint GetUdpEndPoint() const {
        return mUdpClient.GetEndPoint();
    }
    MVC::Model::UserModel& GetUserModel() { return mUser; }
    // A refused join closes the connection once the refusal is sent; a join it sent behind
    // the refused one is dropped unanswered. REQUIRES: the client-collection monitor held.
    void RefuseJoins() { mJoinRefused = true; }
    [[nodiscard]] bool AreJoinsRefused() const { return mJoinRefused; }
    [[nodiscard]] uint32_t GetClientId() const { return mUser.ClientId.mValue; }
    // Where the client stands among the room's admissions (ClientCollection counts them):
    // how many had been made when it connected, and its own number once admitted (0
    // before). A member was told of the connections open at its admission. REQUIRES: the
    // client-collection monitor held.
    void SetOpenedAt(uint64_t admissions) { mOpenedAt = admissions; }
    [[nodiscard]] uint64_t GetOpenedAt() const { return mOpenedAt; }
    void SetAdmission(uint64_t admission) { mAdmission = admission; }
    [[nodiscard]] uint64_t GetAdmission() const { return mAdmission; }

    // Order of the client collection: the client ids, unsigned.
    bool operator<(const RelayClient& other) const { return GetClientId() < other.GetClientId(); }
    bool operator>(const RelayClient& other) const { return GetClientId() > other.GetClientId(); }

    // Raised on the client worker for every message built from the stream, before it
    // is queued for its processor.
    System::Event<RelayClient*, Message::BaseMessage*> MessageReceived;

  private:
    void Subscribe();
    void OnNetStreamMessage(System::Net::NetStream* stream, char* data, int size);
    void OnNetStreamLargeMessage(System::Net::NetStream* stream, char* data, int size,
                                 int declared);
    // What appending a frame to the send queue left to do once the monitor is let go.
    struct Appended {
        bool mOverShare{false};  // the address's share of unjoined connections is over
    };
    // Appends message to the send queue, or drops it, as Enqueue tells. REQUIRES: the
    // send-queue monitor held.
    Appended Append(MVC::Model::NetMessageModel&& message);
    // Does what appending left to do. REQUIRES: the send-queue monitor not held.
    void AfterAppend(const Appended& appended);
    // Closes both sockets, and nothing else.
    void CloseSockets();
    // Ends sending for good and tells the worker, once, that the client has closed.
    void EndAndTellWorker();
    // Counts the client no more among those alive that have not joined, when it was; the
    // last of them to go lets the heap be trimmed of what they left
    // (System::Utility::HeapTrim::Settled).
    void ForgetUnjoined();
    // Nothing is sent to the client any more: its unsent bytes leave its address's share,
    // and its requests waiting for room there are dropped. REQUIRES: the send-queue monitor
    // held.
    void EndAnswers();
    // Takes the client's unsent bytes out of its address's share and counts it there no more.
    // REQUIRES: the send-queue monitor held.
    void LeaveShare();
    // After a send error: nothing more is sent, what is queued is dropped, and the
    // connection stays open for reading until its read side ends.
    void EndSending();
    // Writes what the queue holds up to and including the first frame that carries
    // post-send actions, whose actions are appended to completed once it is sent.
    // Returns true when the queue may hold more to write at once.
    bool SendSome(
        System::Collections::Vector<System::SmartPointer<PostAction::IPostAction>>& completed,
        bool& awaitingRoom);

    System::Net::Client mTcpClient;  // the accepted connection, non-blocking
    // A UDP descriptor of this client's own; nothing is sent or read on it.
    System::Net::Client mUdpClient;
    std::unique_ptr<System::Net::NetStream> mStream;  // framing over mTcpClient
    System::EventManager mEvents;                     // subscriptions to mStream
    MVC::Model::UserModel mUser;
    // The frames waiting to be sent, oldest first. Its monitor comes after the
    // client-collection monitor in the lock order and is held for no other lock. The queue
    // reuses the blocks it frees: the message worker fills it and the client worker empties
    // it, and with blocks from the system allocator the two threads contended for its lock
    // once for every few frames relayed.
    using SendQueue =
        std::deque<MVC::Model::NetMessageModel,
                   System::Collections::RecyclingAllocator<MVC::Model::NetMessageModel>>;
    System::Threading::ThreadProperty<SendQueue> mSendQueue;
    // Unsent bytes in mSendQueue, plus kQueuedFrameCost for each frame not completely
    // sent; guarded by its monitor.
    uint64_t mQueuedBytes{0};
    // The queue share of its address's connections that have not joined, while it has not
    // joined and is open; guarded likewise, and set under the client-collection monitor.
    std::shared_ptr<QueueShare> mShare;
    // Counted in sUnjoined: given a share and not joined since; guarded likewise, and read by
    // the destructor.
    bool mUnjoined{false};
    bool mOverflowed{false};  // a frame was refused for lack of room; guarded likewise
    bool mClosed{false};      // Disconnect was called; guarded likewise
    // Nothing more is sent: Disconnect was called or a send failed; guarded likewise.
    bool mSendEnded{false};
    // The worker will look at the queue without being told again (it has been told,
    // or waits for the socket to take more); guarded likewise.
    bool mSendPending{false};
    // The worker serving the client, null until Attach; guarded likewise.
    Threading::ClientThreadWorker* mWorker{nullptr};
    WorkerState mWorkerState;
    bool mJoinRefused{false};  // see RefuseJoins; guarded by the client-collection monitor
    uint64_t mOpenedAt{0};     // see SetOpenedAt; guarded likewise
    uint64_t mAdmission{0};    // see SetAdmission; guarded likewise
    // The client's received messages queued for the message worker and not yet
    // handled; shared with their tasks, each of which counts itself out when deleted.
    std::shared_ptr<Threading::ReceiveBacklog> mBacklog;
    // What it sends to be relayed to the room may still take; touched by the thread
    // that reads.
    RelayBudget mBudget;

    // The clients alive, closed or not, that were given a share and have not joined.
    static inline std::atomic<uint32_t> sUnjoined{0};
};

}  // namespace ZelvoRelay::Client
