#include "ZelvoRelay/Client/RelayClient.h"

#include <algorithm>

#include "System/Net/Net.h"
#include "System/Net/Socket.h"
#include "System/Net/SocketType.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"
#include "ZelvoRelay/Message/MessageFactory.h"
#include "ZelvoRelay/Threading/MessageTask.h"

namespace ZelvoRelay::Client {

namespace {

// The error type of a non-blocking call that found nothing to do (EAGAIN).
constexpr int kNoDataWaiting = 11;
// The fewest bytes a frame that yields a message takes: its length and a type byte.
constexpr uint32_t kShortestFrame = 5;

}  // namespace

RelayClient::RelayClient()
    : mTcpClient(System::Net::INetwork::TCP), mUdpClient(System::Net::INetwork::UDP) {
    Subscribe();
}

RelayClient::RelayClient(const System::Net::Client& accepted, uint32_t clientId)
    : mTcpClient(accepted), mUdpClient(System::Net::Socket(System::Net::SocketType::UDP(), true)) {
    mUser.ClientId = clientId;
    mTcpClient.GetSocket()->EnableBlocking(false);
    mUdpClient.GetSocket()->EnableBlocking(false);
    Subscribe();
}

RelayClient::~RelayClient() {
    Disconnect();
}

void RelayClient::Subscribe() {
    mStream = std::make_unique<System::Net::NetStream>(mTcpClient, kMaxMessageSize);
    mEvents.Add(mStream->OnMessage, this, &RelayClient::OnNetStreamMessage);
    mEvents.Add(mStream->OnLargeMessage, this, &RelayClient::OnNetStreamLargeMessage);
}

bool RelayClient::IsConnected() {
    return mTcpClient.IsConnected();
}

void RelayClient::Disconnect() {
    mTcpClient.Disconnect(false);
    mUdpClient.Disconnect(false);
}

void RelayClient::Receive(char* buffer, uint32_t offset, uint32_t size) {
    // Read on while the message worker lags, a client sending small messages faster than
    // they are handled would fill the task queue until memory runs out. Unread, its bytes
    // wait in the socket and TCP slows the sender down.
    const uint32_t pending = mPendingMessages->load();
    if (pending >= kMaxPendingMessages) {
        return;
    }
    // Nor may one read bring in more messages than may still wait: a full buffer of the
    // shortest frames would queue thousands at once.
    size = std::min(size, (kMaxPendingMessages - pending) * kShortestFrame);
    const int received = mTcpClient.Receive(buffer, offset, size);
    if (received < 1) {
        if (received < 0 && System::Net::Net::GetErrorType() == kNoDataWaiting) {
            return;
        }
        mTcpClient.Disconnect(false);
        return;
    }
    mTcpClient.OnReceiveMessage.Raise(&mTcpClient, buffer + offset, received);
}

void RelayClient::Send() {
    System::Collections::Vector<System::SmartPointer<PostAction::IPostAction>> completed;
    auto& queue = mSendQueue.mValue;
    mSendQueue.mMonitor.Enter();
    if (mOverflowed) {
        mTcpClient.Disconnect(false);
        mSendQueue.mMonitor.Exit();
        return;
    }
    auto* head = queue.mHead;
    if (head != nullptr && head->mValue.SentBytes >= head->mValue.Frame->Length()) {
        // The entry completed in the previous pass; its actions have run.
        queue.Remove(head->mValue);
        head = queue.mHead;
    }
    if (head != nullptr) {
        MVC::Model::NetMessageModel& entry = head->mValue;
        const auto length = static_cast<uint32_t>(entry.Frame->Length());
        const int sent = mTcpClient.Send(reinterpret_cast<const char*>(entry.Frame->GetBuffer()),
                                         entry.SentBytes, length - entry.SentBytes);
        if (sent >= 0) {
            entry.SentBytes += static_cast<uint32_t>(sent);
            mQueuedBytes -= static_cast<uint32_t>(sent);
            if (entry.SentBytes >= length) {
                mQueuedBytes -= kQueuedFrameCost;
                completed = entry.PostActions;
            }
        } else if (System::Net::Net::GetErrorType() != kNoDataWaiting) {
            mTcpClient.Disconnect(false);
        }
    }
    mSendQueue.mMonitor.Exit();
    for (uint32_t i = 0; i < completed.Count(); ++i) {
        completed[i]->Execute();
    }
}

void RelayClient::Enqueue(const MVC::Model::NetMessageModel& message) {
    // Counting the bytes alone, a flood of tiny frames would hold many times the limit.
    const auto length = static_cast<uint64_t>(message.Frame->Length()) + kQueuedFrameCost;
    mSendQueue.mMonitor.Enter();
    // A client that stops reading would otherwise make the server hold everything sent
    // to the room for it until memory runs out. Past the limit nothing more is queued
    // and the client worker closes the connection on its next send.
    if (mQueuedBytes + length > kMaxQueuedBytes) {
        mOverflowed = true;
    } else if (!mOverflowed) {
        mSendQueue.mValue.Add(message);
        mQueuedBytes += length;
    }
    mSendQueue.mMonitor.Exit();
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
    MessageReceived.Raise(this, message);
    auto* task = new Threading::MessageTask(message, GetClientId());
    task->CountIn(mPendingMessages);
    MVC::Model::ZelvoRelayModel::Instance()->QueueTask(task);
}

void RelayClient::OnNetStreamLargeMessage(System::Net::NetStream*, char*, int, int) {
    Disconnect();
}

}  // namespace ZelvoRelay::Client
