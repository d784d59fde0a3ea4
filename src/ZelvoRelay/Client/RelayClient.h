#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "System/Collections/LinkList.h"
#include "System/Event.h"
#include "System/EventManager.h"
#include "System/Net/Client.h"
#include "System/Net/IPEndPoint.h"
#include "System/Net/NetStream.h"
#include "System/Object.h"
#include "System/Threading/ThreadProperty.h"
#include "ZelvoRelay/MVC/Model/NetMessageModel.h"
#include "ZelvoRelay/MVC/Model/UserModel.h"
#include "ZelvoRelay/Message/BaseMessage.h"

namespace ZelvoRelay::Client {

// One connected relay client: its accepted TCP connection (non-blocking, polled by a
// client worker, never given a thread), the framing of its byte stream, its user model
// and its queue of outgoing frames.
//
// Receive, Send, Disconnect and the stream callbacks run on the client worker that
// serves the client (PostRemoveClient runs there too); Enqueue may run on any thread.
class RelayClient : public System::Object {
  public:
    // The largest frame payload accepted is one byte less.
    static constexpr uint32_t kMaxMessageSize = 32768;
    // A client with more unsent bytes queued than this is disconnected.
    static constexpr uint64_t kMaxQueuedBytes = 16u << 20;
    // What each queued frame counts against kMaxQueuedBytes beside its own bytes: about
    // what its queue entry and its frame's bookkeeping take in memory.
    static constexpr uint64_t kQueuedFrameCost = 256;
    // A client with this many received messages still waiting for the message worker is
    // not read until the worker has handled some; a read takes no more bytes than could
    // make up the messages still allowed (one more may complete a message begun before).
    static constexpr uint32_t kMaxPendingMessages = 64;

    // A client without a connection and with client id 0.
    RelayClient();
    // Takes over the accepted connection (sharing its descriptor) under the given id.
    RelayClient(const System::Net::Client& accepted, uint32_t clientId);
    // Closes both sockets; queued frames are released unsent, their actions unrun.
    ~RelayClient() override;

    RelayClient(const RelayClient&) = delete;
    RelayClient& operator=(const RelayClient&) = delete;

    // Whether the TCP connection is still open.
    [[nodiscard]] bool IsConnected();
    // Closes the connection without waiting; the client worker removes the client on
    // its next pass.
    void Disconnect();

    // One non-blocking receive into buffer; complete messages become tasks for the
    // message worker. A closed connection or a receive error disconnects. Nothing is
    // read while kMaxPendingMessages of the client's messages wait for the worker.
    void Receive(char* buffer, uint32_t offset, uint32_t size);
    // Offers the rest of the head frame to the socket once; when that completes the
    // frame, runs its post-send actions after leaving the queue's monitor.
    void Send();
    // Appends a copy of message (sharing its frame) at the tail of the send queue.
    // Takes the send-queue monitor; REQUIRES the client-collection monitor held, which
    // comes before it in the lock order.
    void Enqueue(const MVC::Model::NetMessageModel& message);

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
    [[nodiscard]] uint32_t GetClientId() const { return mUser.ClientId.mValue; }

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

    System::Net::Client mTcpClient;  // the accepted connection, non-blocking
    // A UDP descriptor of this client's own; nothing is sent or read on it.
    System::Net::Client mUdpClient;
    std::unique_ptr<System::Net::NetStream> mStream;  // framing over mTcpClient
    System::EventManager mEvents;                     // subscriptions to mStream
    MVC::Model::UserModel mUser;
    // The frames waiting to be sent, oldest first. Its monitor comes after the
    // client-collection monitor in the lock order and is held for no other lock.
    System::Threading::ThreadProperty<System::Collections::LinkList<MVC::Model::NetMessageModel>>
        mSendQueue;
    // Unsent bytes in mSendQueue, plus kQueuedFrameCost for each frame not completely
    // sent; guarded by its monitor.
    uint64_t mQueuedBytes{0};
    bool mOverflowed{false};  // a frame was refused for lack of room; guarded likewise
    // The client's received messages queued for the message worker and not yet handled;
    // shared with their tasks, each of which counts itself out when it is deleted.
    std::shared_ptr<std::atomic<uint32_t>> mPendingMessages{
        std::make_shared<std::atomic<uint32_t>>(0)};
};

}  // namespace ZelvoRelay::Client
