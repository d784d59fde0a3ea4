#include "ZelvoRelay/Client/RelayClient.h"

#include <algorithm>
#include <new>
#include <utility>

#include "System/Net/Net.h"
#include "System/Net/Socket.h"
#include "System/Net/SocketType.h"
#include "System/Threading/MonitorLock.h"
#include "System/Utility/HeapTrim.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/Chat/ChatMessage.h"
#include "ZelvoRelay/Message/MessageFactory.h"
#include "ZelvoRelay/Message/Registration/ChangeNameMessage.h"
#include "ZelvoRelay/Message/Registration/UserStatusMessage.h"
#include "ZelvoRelay/Message/Voice/VoiceDataMessage.h"
#include "ZelvoRelay/Threading/ClientThreadWorker.h"
#include "ZelvoRelay/Threading/MessageTask.h"
#include "ZelvoRelay/Threading/ReceiveBacklog.h"

namespace ZelvoRelay::Client {

namespace {

// The error type of a non-blocking call that found nothing to do (EAGAIN).
constexpr int kNoDataWaiting = 11;
// The fewest bytes a frame that yields a message takes: its length and a type byte.
constexpr uint32_t kShortestFrame = 5;
// The bytes of a frame's length prefix.
constexpr uint32_t kFramePrefix = 4;
// The blocks a send queue keeps for reuse from one burst of frames to the next.
constexpr size_t kBlocksKeptIdle = 2;
// The bytes the system holds for a connection beyond those on their way: enough to keep a
// fast link busy between two turns of its worker.
constexpr uint32_t kUnsentBytes = 64 << 10;
// About what a connection takes in memory for itself, its frames and requests aside: its
// objects and its places in the room's lists (3,000 connections took 23 MB).
constexpr uint64_t kConnectionBytes = 8 << 10;

// Whether messages of type are relayed to the room, and so count against the sender's
// relay budget. Name and status changes are relayed whole, like chat and voice: left
// out, they would let one member flood the room all the same.
bool IsRelayedToRoom(uint8_t type) {
    return type == Message::Chat::ChatMessage::MsgId ||
           type == Message::Voice::VoiceDataMessage::MsgId ||
           type == Message::Registration::ChangeNameMessage::MsgId ||
           type == Message::Registration::UserStatusMessage::MsgId;
}

using PostActions = System::Collections::Vector<System::SmartPointer<PostAction::IPostAction>>;

}  // namespace

RelayClient::RelayClient()
    : mTcpClient(System::Net::INetwork::TCP),
      mUdpClient(System::Net::INetwork::UDP),
      mBacklog(std::make_shared<Threading::ReceiveBacklog>()) {
    Subscribe();
}

RelayClient::RelayClient(const System::Net::Client& accepted, uint32_t clientId)
    : RelayClient(accepted, System::Net::Socket(System::Net::SocketType::UDP(), true), clientId) {}

RelayClient::RelayClient(const System::Net::Client& accepted, const System::Net::Socket& udp,
                         uint32_t clientId)
    : mTcpClient(accepted),
      mUdpClient(udp, udp.GetRemoteEndPoint()),
      mBacklog(std::make_shared<Threading::ReceiveBacklog>()) {
    mUser.ClientId = clientId;
    mTcpClient.GetSocket()->EnableBlocking(false);
    // Chat and voice are small frames that matter now; batched sends already fill
    // the packets, so holding a frame back for an acknowledgement only adds delay.
    mTcpClient.GetSocket()->SetNoDelay(true);
    // Left to grow, the system's buffer for a peer that reads nothing takes megabytes of
    // downloads, each read from disk and copied at the server's cost: connections asking
    // downloads and reading nothing held a core and every member's chat for seconds.
    mTcpClient.GetSocket()->LimitUnsent(kUnsentBytes);
    mUdpClient.GetSocket()->EnableBlocking(false);
    Subscribe();
}

RelayClient::~RelayClient() {
    mBacklog->Detach();
    CloseSockets();
    // Counted, what connections take for themselves is given back after a flood of them as
    // what they were sent is: 3,000 connections that never joined left 23 MB held after
    // they were gone.
    System::Utility::HeapTrim::Freed(kConnectionBytes + mSendQueue.mValue.get_allocator().Trim(0));
    ForgetUnjoined();
}

void RelayClient::Subscribe() {
    mStream = std::make_unique<System::Net::NetStream>(mTcpClient, kMaxMessageSize);
    mEvents.Add(mStream->OnMessage, this, &RelayClient::OnNetStreamMessage);
    mEvents.Add(mStream->OnLargeMessage, this, &RelayClient::OnNetStreamLargeMessage);
}

bool RelayClient::IsConnected() {
    return mTcpClient.IsConnected();
}

void RelayClient::CloseSockets() {
    // The UDP descriptor first, so that nothing of the client is held once its peer sees
    // the connection closed.
    mUdpClient.Disconnect(false);
    mTcpClient.Disconnect(false);
}

void RelayClient::Disconnect() {
    CloseSockets();
    EndAndTellWorker();
}

void RelayClient::EndAndTellWorker() {
    System::Threading::MonitorLock lock(mSendQueue.mMonitor);
    EndAnswers();
    // A closed socket leaves the worker's watch without a word, so the worker must be
    // told, or the client would stay in its list and in the room for good. Told under
    // the monitor, the closing is the last notice about the client.
    if (!mClosed && mWorker != nullptr) {
        mWorker->Notify(this, true);
    }
    mClosed = true;
}

void RelayClient::Attach(Threading::ClientThreadWorker* worker) {
    System::Threading::MonitorLock lock(mSendQueue.mMonitor);
    mWorker = worker;
    // Frames queued before have not been announced to anyone.
    mSendPending = true;
    worker->Notify(this, mClosed);
}

RelayClient::Received RelayClient::Receive(char* buffer, uint32_t offset, uint32_t size, double now,
                                           System::Threading::WakeEvent* wake) {
    // One that has not joined and was reset can be answered nothing: what it asked and is
    // still unread goes with it, unread. Read to their ends, the listings that 15,000 such
    // connections had pipelined were queued and dropped one by one, and the room's chat and
    // joins waited seconds behind them. A member's last words are read and relayed.
    const QueueShare* share = mBacklog->GetShare().get();
    if (mWorkerState.mPeerReset && share != nullptr) {
        Disconnect();
        return Received::Closed;
    }
    // Read as fast as it sends, one member would fill every slower member's send queue
    // with what it relays to the room until each is closed for it; left unread, its bytes
    // wait in the socket and TCP slows it down to the budget.
    if (!mBudget.Allows(now)) {
        return Received::Spent;
    }
    // Read on while the message worker lags, a client sending small messages faster than
    // they are handled would fill the task queue until memory runs out. Unread, its bytes
    // wait in the socket and TCP slows the sender down.
    uint32_t pending = mBacklog->Count();
    // Nor while the answers of its address's connections that have not joined fill their
    // share: its requests wait unread until one of those already read has been answered. Its
    // end is read all the same, so that it leaves, and gives back what it holds, at once.
    const bool ended = mWorkerState.mPeerEnded;
    // One that has not joined has only a few read ahead: what waits is held for it outside any
    // share, and thousands of such connections would each hold a member's 64. Once its peer has
    // ended, a member's, so that its end is reached past requests left waiting for the share.
    const uint32_t most =
        share != nullptr && !ended ? kMaxUnjoinedPendingMessages : kMaxPendingMessages;
    if (pending > 0 && share != nullptr && share->IsFull() && !ended) {
        if (mBacklog->Hold(wake, pending - 1)) {
            return Received::Held;
        }
        pending = std::min(mBacklog->Count(), most - 1);
    }
    if (pending >= most) {
        if (mBacklog->Hold(wake, most == kMaxUnjoinedPendingMessages
                                     ? most / 2
                                     : Threading::ReceiveBacklog::kResumeMark)) {
            return Received::Held;
        }
        pending = std::min(mBacklog->Count(), most - 1);
    }
    // Nor may one read bring in more messages than may still wait: a full buffer of the
    // shortest frames would queue thousands at once.
    size = std::min(size, (most - pending) * kShortestFrame);
    const int received = mTcpClient.Receive(buffer, offset, size);
    if (received < 1) {
        if (received < 0 && System::Net::Net::GetErrorType() == kNoDataWaiting) {
            return Received::Drained;
        }
        Disconnect();
        return Received::Closed;
    }
    mTcpClient.OnReceiveMessage.Raise(&mTcpClient, buffer + offset, received);
    if (!IsConnected()) {
        return Received::Closed;
    }
    // A stream socket gives less than asked only when it had no more: bytes that come
    // later are reported anew, so the read that would find nothing can be spared. Not
    // so the end of stream: reported once, with the last bytes, it would be missed and
    // the client would stay in the room after it has gone.
    const bool drained = static_cast<uint32_t>(received) < size && !mWorkerState.mPeerEnded;
    return drained ? Received::Drained : Received::Data;
}

void RelayClient::ReceiveRest(char* buffer, uint32_t size) {
    uint32_t left = mTcpClient.GetSocket()->Available();
    while (left > 0 && IsConnected()) {
        const int received = mTcpClient.Receive(buffer, 0, std::min(size, left));
        if (received < 1) {
            return;
        }
        left -= std::min(left, static_cast<uint32_t>(received));
        mTcpClient.OnReceiveMessage.Raise(&mTcpClient, buffer, received);
    }
}

bool RelayClient::IsHeld() const {
    return mBacklog->IsHeld();
}

void RelayClient::ReportHoldEndsTo(Threading::HeldClients* held) {
    mBacklog->ReportEndsTo(held, this);
}

bool RelayClient::HoldUntilHandled(System::Threading::WakeEvent* wake) {
    return mBacklog->Hold(wake, 0);
}

bool RelayClient::Send() {
    PostActions completed;
    bool awaitingRoom = false;
    bool more = true;
    while (more) {
        more = SendSome(completed, awaitingRoom);
        for (uint32_t i = 0; i < completed.Count(); ++i) {
            completed[i]->Execute();
        }
        completed.Clear();
    }
    return awaitingRoom;
}

bool RelayClient::SendSome(PostActions& completed, bool& awaitingRoom) {
    auto& queue = mSendQueue.mValue;
    System::Net::Socket::Piece pieces[System::Net::Socket::kMaxPieces];
    System::Threading::MonitorLock lock(mSendQueue.mMonitor);
    if (mOverflowed && !mClosed) {
        lock.Unlock();
        Disconnect();
        return false;
    }
    if (mSendEnded) {
        return false;
    }
    // A frame's actions run before anything after it is written: an action that closes
    // the connection (a refused join) closes it right after that frame.
    uint32_t count = 0;
    uint32_t offered = 0;
    for (auto entry = queue.begin();
         entry != queue.end() && count < System::Net::Socket::kMaxPieces; ++entry) {
        const auto length = static_cast<uint32_t>(entry->Frame->Length());
        pieces[count].mData =
            reinterpret_cast<const char*>(entry->Frame->GetBuffer()) + entry->SentBytes;
        pieces[count].mLength = length - entry->SentBytes;
        offered += pieces[count].mLength;
        ++count;
        if (entry->PostActions.Count() > 0) {
            break;
        }
    }
    if (count == 0) {
        mSendPending = false;
        return false;
    }
    // The send runs outside the monitor, so that the message worker queueing frames for
    // this client does not wait for the system call. The pieces stay valid: only this
    // thread takes entries off the queue, and appending moves none.
    lock.Unlock();
    const int sent = mTcpClient.Send(pieces, count);
    if (sent < 0) {
        if (System::Net::Net::GetErrorType() == kNoDataWaiting) {
            awaitingRoom = true;
        } else {
            EndSending();
        }
        return false;
    }
    lock.Lock();
    auto left = static_cast<uint32_t>(sent);
    uint64_t done = left;
    while (left > 0) {
        MVC::Model::NetMessageModel& head = queue.front();
        const auto rest = static_cast<uint32_t>(head.Frame->Length()) - head.SentBytes;
        if (left < rest) {
            head.SentBytes += left;
            break;
        }
        left -= rest;
        done += kQueuedFrameCost;
        for (uint32_t i = 0; i < head.PostActions.Count(); ++i) {
            completed.Add(head.PostActions[i]);
        }
        queue.pop_front();
    }
    mQueuedBytes -= done;
    if (mShare != nullptr) {
        mShare->Release(done);
        // A connection that has not joined keeps no spare blocks once it has nothing to send:
        // each of thousands would otherwise hold the blocks of its last burst for as long as
        // it stays.
        if (queue.empty()) {
            System::Utility::HeapTrim::Freed(queue.get_allocator().Trim(0));
        }
    }
    // A socket that took less than it was offered is full; its writable readiness
    // comes once it has room again.
    const bool full = static_cast<uint32_t>(sent) < offered;
    awaitingRoom = full;
    // Frames queued while the socket wrote are sent on at once too.
    const bool more = !full && !queue.empty();
    if (!full) {
        mSendPending = more;
    }
    return more;
}

void RelayClient::EndSending() {
    System::Threading::MonitorLock lock(mSendQueue.mMonitor);
    // A send fails once the peer has reset the connection, yet what it sent before
    // may still wait unread in the socket, past what it had sent when the reset came.
    // Closed now, the connection would lose those messages; so the client is only no
    // longer sent to, and is read on until its read side ends, as after an orderly
    // close. Its queued frames go unsent, their actions unrun.
    EndAnswers();
    mSendQueue.mValue.clear();
    mQueuedBytes = 0;
    mSendPending = false;
    lock.Unlock();
    // A peer that has not reset is told that nothing more comes, so that it closes.
    mTcpClient.GetSocket()->ShutdownSend();
}

void RelayClient::Enqueue(MVC::Model::NetMessageModel message) {
    System::Threading::MonitorLock lock(mSendQueue.mMonitor);
    const Appended appended = Append(std::move(message));
    lock.Unlock();
    AfterAppend(appended);
}

void RelayClient::Enqueue(std::vector<MVC::Model::NetMessageModel>& messages) {
    System::Threading::MonitorLock lock(mSendQueue.mMonitor);
    Appended appended;
    for (MVC::Model::NetMessageModel& message : messages) {
        const Appended one = Append(std::move(message));
        appended.mOverShare = appended.mOverShare || one.mOverShare;
    }
    lock.Unlock();
    messages.clear();
    AfterAppend(appended);
}

RelayClient::Appended RelayClient::Append(MVC::Model::NetMessageModel&& message) {
    Appended appended;
    if (mSendEnded) {
        return appended;
    }
    // Counting the bytes alone, a flood of tiny frames would hold many times the limit.
    const auto length = static_cast<uint64_t>(message.Frame->Length()) + kQueuedFrameCost;
    // A client that stops reading would otherwise make the server hold everything sent
    // to the room for it until memory runs out. Past the limit nothing more is queued
    // and the client worker closes the connection on its next send.
    bool tell = !mSendPending;
    if (mQueuedBytes + length > kMaxQueuedBytes) {
        // Told even while the worker waits for room, which a stalled reader never makes.
        tell = tell || !mOverflowed;
        mOverflowed = true;
    } else if (!mOverflowed) {
        auto& queue = mSendQueue.mValue;
        if (queue.empty()) {
            // Kept by every member after a burst (its joining one), the blocks would add up.
            // Let go here, by the thread that takes blocks, they go back to its own allocator,
            // not against it from the thread that frees.
            queue.get_allocator().Trim(kBlocksKeptIdle);
        }
        try {
            queue.push_back(std::move(message));
            mQueuedBytes += length;
            if (mShare != nullptr) {
                // One party's connections that never join, each under the limit and none
                // reading, would otherwise hold the limit many times over between them.
                appended.mOverShare = mShare->Add(length);
            }
        } catch (const std::bad_alloc&) {
            // A frame left out would break the client's stream: it is closed as one whose
            // queue has no more room, and the process goes on.
            tell = true;
            mOverflowed = true;
        }
    }
    if (tell && mWorker != nullptr) {
        mWorker->Notify(this, false);
    }
    mSendPending = true;
    return appended;
}

void RelayClient::AfterAppend(const Appended& appended) {
    if (appended.mOverShare) {
        MVC::Model::ZelvoRelayModel::Instance()->Clients.mValue.CloseMostQueuedUnjoined(
            GetTcpEndPoint().GetAddress());
    }
}

void RelayClient::ShareQueue(std::shared_ptr<QueueShare> share) {
    System::Threading::MonitorLock lock(mSendQueue.mMonitor);
    LeaveShare();
    if (share == nullptr) {
        mBacklog->LeaveShare();
        ForgetUnjoined();
    } else if (!mSendEnded) {
        if (!mUnjoined) {
            mUnjoined = true;
            ++sUnjoined;
        }
        mBacklog->SetShare(share);
        share->Add(mQueuedBytes);
        mShare = std::move(share);
    }
}

uint64_t RelayClient::GetSharedBytes() {
    System::Threading::MonitorLock lock(mSendQueue.mMonitor);
    const uint64_t bytes = mShare != nullptr ? mQueuedBytes : 0;
    return bytes;
}

void RelayClient::CloseAsSlowReader() {
    System::Threading::MonitorLock lock(mSendQueue.mMonitor);
    LeaveShare();
    if (!mOverflowed && !mSendEnded && mWorker != nullptr) {
        mWorker->Notify(this, false);
    }
    mOverflowed = true;
    mSendPending = true;
}

void RelayClient::DropUnsent() {
    SendQueue unsent;
    System::Threading::MonitorLock lock(mSendQueue.mMonitor);
    // Kept until the client is deleted, which waits for its last requests to be dropped, the
    // frames of connections closed for their address's share stayed in memory after their
    // bytes had left it.
    if (mSendEnded) {
        unsent.swap(mSendQueue.mValue);
        mQueuedBytes = 0;
    }
    lock.Unlock();
    // Counted, what a party of members closed as slow readers held is given back as what
    // connections that never joined held is: 130 members' queues of the room's chat left
    // 396 MB held after they were gone. A frame for the room is freed with the last queue
    // that shares it.
    uint64_t freed = unsent.size() * sizeof(MVC::Model::NetMessageModel);
    for (const MVC::Model::NetMessageModel& frame : unsent) {
        if (frame.Frame.ReferenceCount() == 1) {
            freed += static_cast<uint64_t>(frame.Frame->Length());
        }
    }
    unsent.clear();
    freed += unsent.get_allocator().Trim(0);
    System::Utility::HeapTrim::Freed(freed);
    // A queue that large belonged to a slow reader or a flood's sink: what it held is given
    // back soon, not only once a period's worth more is freed, which a quiet room may
    // never free.
    if (freed >= System::Utility::HeapTrim::kLeast) {
        System::Utility::HeapTrim::Settled();
    }
}

void RelayClient::ForgetUnjoined() {
    // Given back only every so often while they come, what a flood of them left would stay
    // held, up to a whole period's worth, once it has ended.
    if (mUnjoined) {
        mUnjoined = false;
        if (--sUnjoined == 0) {
            System::Utility::HeapTrim::Settled();
        }
    }
}

void RelayClient::EndAnswers() {
    mSendEnded = true;
    mBacklog->EndAnswers();
    LeaveShare();
    // Its own requests waiting for room are dropped now, so that it may leave; the others of
    // its address stay parked. Put back in line at every closing, each was parked again, and
    // a party resetting 1,000 parked connections stalled the room for seconds.
    if (const std::shared_ptr<QueueShare>& share = mBacklog->GetShare()) {
        share->EndWaiting(GetClientId());
    }
}

void RelayClient::LeaveShare() {
    if (mShare == nullptr) {
        return;
    }
    mShare->Release(mQueuedBytes);
    mShare.reset();
}

void RelayClient::OnNetStreamMessage(System::Net::NetStream*, char* data, int size) {
    // The rest of a chunk that closed the connection is not acted upon.
    if (!IsConnected()) {
        return;
    }
    Message::MessageFactory factory(MVC::Model::ZelvoRelayModel::Instance()->Messages);
    Message::BaseMessage* message = factory.CreateMessage(data, size);
    if (message == nullptr) {
        Disconnect();
        return;
    }
    if (IsRelayedToRoom(message->GetMsgId())) {
        mBudget.Charge(static_cast<uint32_t>(size) + kFramePrefix);
    }
    MessageReceived.Raise(this, message);
    auto* task = new Threading::MessageTask(message, GetClientId());
    task->CountIn(mBacklog);
    MVC::Model::ZelvoRelayModel::Instance()->QueueTask(task);
}

void RelayClient::OnNetStreamLargeMessage(System::Net::NetStream*, char*, int, int) {
    Disconnect();
}

}  // namespace ZelvoRelay::Client
