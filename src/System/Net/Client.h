#pragma once

#include <cstdint>

#include "System/Event.h"
#include "System/Net/INetwork.h"
#include "System/Net/IPEndPoint.h"
#include "System/Net/Socket.h"
#include "System/String.h"
#include "System/Threading/Thread.h"

namespace System::Net {

// One connection, outgoing or accepted. After Connect its receive loop runs on a
// thread of its own, which raises every event except OnSendMessage (raised by the
// thread that sends). A Client copied from an accepted connection has no thread
// until someone starts one; its owner may also poll it with Receive.
//
// Subscribe before Connect: the events take no lock. Copies share the descriptor.
class Client : public Threading::Thread, public INetwork {
  public:
    // The size of the receive loop's buffer: no event carries more bytes.
    static constexpr uint32_t kReceiveSize = 4096;

    // Not connected; Connect makes a socket of this type.
    explicit Client(NetworkType type);
    // An accepted connection: shares its descriptor; the end point is peer, the address
    // accept gave (network order); type TCP.
    Client(const Socket& accepted, const IPEndPoint& peer);
    // Type, end point and socket (sharing the descriptor); no events, no thread.
    Client(const Client& other);
    // Closes this client's own descriptor first, then copies as above.
    Client& operator=(const Client& other);
    // Stops a running receive loop and waits for it (closing a connection it still
    // holds), unless called on that thread. A client without a running thread
    // leaves its descriptor open: copies may still use it.
    // REQUIRES: not destroyed by its own thread while that thread runs.
    ~Client() override;

    // The connection thread: opens the connection when it is not open yet, then
    // receives until the peer closes, a receive fails or the client is disconnected.
    void Run() override;
    // Disconnects (waiting for the old thread), makes a new socket of the type and
    // starts the thread that connects it to endPoint (network order). True when the
    // thread started; false, with nothing raised, when the socket or the thread
    // could not be made.
    virtual bool Connect(const IPEndPoint& endPoint);
    // Ends the connection and stops the thread: the thread is woken from connect or
    // recv and waited for, so it is never left on a released descriptor. join is kept
    // for callers; the wait is made whatever it says, except on the client's own
    // thread (from an event handler), where the loop ends when the handler returns.
    virtual void Disconnect(bool join);
    // One recv on the calling thread, for owners that poll the socket themselves.
    virtual int Receive(char* buffer, uint32_t offset, uint32_t length);
    // Sends, then raises OnSendMessage with (this, buffer, length, result) on the
    // calling thread, and returns the result. errno is that of the send afterwards.
    virtual int Send(const char* buffer, uint32_t offset, uint32_t length);
    // Sends the pieces in one call (Socket::Send), then raises OnSendMessage with
    // (this, the first piece, the length of all pieces, result) on the calling thread.
    int Send(const Socket::Piece* pieces, uint32_t count);

    [[nodiscard]] bool IsConnected() const { return mSocket.IsConnected(); }
    Socket* GetSocket() { return &mSocket; }
    // The end point given to Connect, or the peer's for an accepted connection.
    [[nodiscard]] IPEndPoint GetEndPoint() const { return mEndPoint; }

    // The thread is about to connect.
    Event<Client*> OnConnecting;
    // The connection is open.
    Event<Client*> OnConnect;
    // The connection could not be opened: the error text (Net::GetError). The thread
    // ends; neither OnConnect nor OnDisconnect follows.
    Event<Client*, const String&> OnConnectFailed;
    // An open connection has ended: the peer closed it, a receive failed, or the
    // client was disconnected. Raised once per connection, last.
    Event<Client*> OnDisconnect;
    // Bytes received: (this, buffer, count); the buffer is valid during the call.
    Event<Client*, char*, int> OnReceiveMessage;
    // Bytes sent: (this, buffer, requested length, result of the send). The buffer is
    // the sender's and is only read.
    Event<Client*, char*, int, int> OnSendMessage;

  protected:
    NetworkType mType;     // the kind of socket Connect makes
    IPEndPoint mEndPoint;  // network order; written before the thread starts
    Socket mSocket;        // the connection; see Socket for the threads that use it
};

}  // namespace System::Net
