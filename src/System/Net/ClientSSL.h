#pragma once

#include <openssl/ssl.h>

#include <cstdint>
#include <mutex>

#include "System/Net/Client.h"
#include "System/Net/Socket.h"
#include "System/String.h"

namespace System::Net {

// A Client whose connection runs TLS through OpenSSL: the same events on the same
// thread, with the handshake, reads and writes going through the library. The peer's
// certificate is not verified: any certificate is accepted. TLS 1.2 is the oldest
// version negotiated.
//
// Every connection gets an SSL object of its own, made by the connection thread once
// the socket is open and freed when the connection ends, so a failed handshake never
// spoils the next connection. Calls on the SSL object are serialized by a lock that is
// never held while waiting for the socket, so Send may run on any thread beside the
// receive loop. The connection is ended by sending close_notify once, without waiting
// for the peer's.
class ClientSSL : public Client {
  public:
    // Not connected; the context is this object's own.
    ClientSSL();
    // The server side of an accepted connection: an SSL object on its descriptor from
    // context, of which this object holds a reference. Accept runs the handshake; Start
    // then runs the receive loop.
    ClientSSL(SSL_CTX* context, const Socket& accepted);
    // Stops the connection thread and waits for it, then frees the SSL objects.
    // REQUIRES: not destroyed by its own thread.
    ~ClientSSL() override;

    // An SSL connection cannot be copied.
    ClientSSL(const ClientSSL&) = delete;
    ClientSSL& operator=(const ClientSSL&) = delete;

    // The connection thread: opens the connection and runs the handshake when it is not
    // open yet, then receives until the peer closes, a read fails or the client is
    // disconnected. A failed open or handshake raises OnConnectFailed; OnDisconnect is
    // raised last in every case.
    void Run() override;
    // Sends close_notify when a session is up, then ends the connection as
    // Client::Disconnect does. On the connection thread itself (from a handler) the
    // descriptor is kept until the loop has freed the SSL object.
    void Disconnect(bool join) override;
    // Encrypts and sends every byte, then raises OnSendMessage with the result on the
    // calling thread. Without a session (not connected, or the handshake not done)
    // returns 0 and raises nothing.
    int Send(const char* buffer, uint32_t offset, uint32_t length) override;

    // The host name the next connections send in their handshake (SNI), so that a
    // server holding several names answers with the right one. An IP literal or ""
    // sends none.
    // REQUIRES: no connection thread is running.
    void SetServerName(const String& host);

    // Server side: runs the handshake on the calling thread; true when it succeeded.
    bool Accept();
    // Whether the peer presented a certificate; nothing is kept.
    bool GetCertificate();
    // The verification result of the peer's certificate (X509_V_OK when there is
    // nothing to fault); X509_V_ERR_UNSPECIFIED without a session.
    long VerifyCertificate();

  private:
    // Opens the socket and runs the handshake: the new SSL object, or null with the
    // reason in error.
    SSL* Open(String& error);
    // Reads until the connection ends, raising OnReceiveMessage for each read.
    void ReceiveLoop();
    // Waits until the socket is ready for events (poll), at most timeout ms (-1 for
    // no limit); false when the socket failed.
    bool Wait(short events, int timeout);

    SSL_CTX* mContext{nullptr};  // null when it could not be made
    String mServerName;          // sent as SNI; "" for none
    // Guards mSsl and every call on it. Never held while waiting or raising an event.
    // Taken after mSending.
    std::mutex mSession;
    SSL* mSsl{nullptr};  // the connection's SSL object; null outside a session
    // Held for the whole of a Send: a write that waits for room must be retried with
    // the same bytes before another write starts.
    std::mutex mSending;
};

}  // namespace System::Net
