#include "System/Net/ClientSSL.h"

#include "System/Net/Net.h"
#include "System/Net/SocketType.h"
#include "System/Uninterrupted.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/x509.h>
#include <poll.h>

#include <cerrno>

namespace System::Net {

namespace {

// How long a write that needs the peer's bytes waits before it tries again: the
// receive loop may take those bytes first, and the write must not wait for ever.
constexpr int kWriteRetryMs = 100;

// The text of a failed handshake that neither the library nor errno explains.
constexpr const char* kHandshakeFailed = "TLS handshake failed";

bool IsAddressLiteral(const String& host) {
    unsigned char address[16];
    return inet_pton(AF_INET, host.CStr(), address) == 1 ||
           inet_pton(AF_INET6, host.CStr(), address) == 1;
}

// Why an SSL call that answered result failed; error is the errno seen right after it.
String FailureText(SSL* ssl, int result, int error) {
    const int kind = SSL_get_error(ssl, result);
    if (kind == SSL_ERROR_SSL) {
        const char* reason = ERR_reason_error_string(ERR_peek_last_error());
        if (reason != nullptr) {
            return reason;
        }
    }
    if (kind == SSL_ERROR_SYSCALL && !Net::GetError(error).Equals("")) {
        return Net::GetError(error);
    }
    return kHandshakeFailed;
}

}  // namespace

ClientSSL::ClientSSL() : Client(TCP), mContext(SSL_CTX_new(TLS_client_method())) {
    if (mContext != nullptr) {
        // Versions before 1.2 are broken; the library's default level refuses them anyway.
        SSL_CTX_set_min_proto_version(mContext, TLS1_2_VERSION);
    }
}

ClientSSL::ClientSSL(SSL_CTX* context, const Socket& accepted)
    : Client(accepted, accepted.GetRemoteEndPoint()), mContext(context) {
    // The library writes with write(): a peer that has gone would raise SIGPIPE. A
    // socket accepted from anywhere may not have passed through SocketType yet.
    SocketType::IgnoreBrokenPipes();
    if (mContext == nullptr) {
        return;
    }
    SSL_CTX_up_ref(mContext);
    mSsl = SSL_new(mContext);
    if (mSsl != nullptr) {
        SSL_set_fd(mSsl, mSocket.GetSocket());
    }
}

ClientSSL::~ClientSSL() {
    // ~Client would stop the thread only after the SSL objects it uses are gone.
    if (GetThreadState() != 0) {
        mSocket.Shutdown();
    }
    Stop(true);
    SSL_free(mSsl);
    SSL_CTX_free(mContext);
}

void ClientSSL::Run() {
    const bool opening = !mSocket.IsConnected();
    if (opening) {
        OnConnecting.Raise(this);
        String error;
        SSL* ssl = Open(error);
        if (ssl == nullptr) {
            mSocket.Close();
            OnConnectFailed.Raise(this, error);
            OnDisconnect.Raise(this);
            return;
        }
        std::lock_guard<std::mutex> session(mSession);
        mSsl = ssl;
    }
    // Non-blocking from here on, so that no call on the SSL object waits for the socket
    // while it holds the session lock, which Disconnect needs; waiting is done in Wait.
    mSocket.EnableBlocking(false);
    if (opening) {
        OnConnect.Raise(this);
    }
    ReceiveLoop();
    {
        std::lock_guard<std::mutex> session(mSession);
        if (mSsl != nullptr && (SSL_get_shutdown(mSsl) & SSL_SENT_SHUTDOWN) == 0) {
            SSL_shutdown(mSsl);
        }
        SSL_free(mSsl);
        mSsl = nullptr;
    }
    mSocket.Close();
    OnDisconnect.Raise(this);
}

void ClientSSL::Disconnect(bool join) {
    {
        std::lock_guard<std::mutex> session(mSession);
        // One close_notify, never waiting for the peer's: the second, two-way
        // SSL_shutdown blocks until a peer that may never answer does.
        if (mSsl != nullptr && (SSL_get_shutdown(mSsl) & SSL_SENT_SHUTDOWN) == 0) {
            SSL_shutdown(mSsl);
        }
    }
    if (IsCurrentThread()) {
        // Closing now would free the descriptor number while the SSL object still
        // writes to it; the loop closes once it has freed the object.
        mSocket.Shutdown();
        return;
    }
    Client::Disconnect(join);
}

int ClientSSL::Send(const char* buffer, uint32_t offset, uint32_t length) {
    std::unique_lock<std::mutex> sending(mSending);
    bool written = false;
    int result = 0;
    for (;;) {
        int kind = SSL_ERROR_NONE;
        {
            std::lock_guard<std::mutex> session(mSession);
            if (mSsl == nullptr || !mSocket.IsConnected()) {
                break;
            }
            ERR_clear_error();
            result = SSL_write(mSsl, buffer + offset, static_cast<int>(length));
            written = true;
            if (result <= 0) {
                kind = SSL_get_error(mSsl, result);
            }
        }
        const bool retry = (kind == SSL_ERROR_WANT_WRITE && Wait(POLLOUT, -1)) ||
                           (kind == SSL_ERROR_WANT_READ && Wait(POLLIN, kWriteRetryMs));
        if (!retry) {
            break;
        }
    }
    sending.unlock();
    if (!written) {
        return 0;
    }
    OnSendMessage.Raise(this, const_cast<char*>(buffer), static_cast<int>(length), result);
    return result;
}

void ClientSSL::SetServerName(const String& host) {
    // Server names are host names only: an address literal is never sent as one.
    mServerName = IsAddressLiteral(host) ? String() : host;
}

bool ClientSSL::Accept() {
    std::lock_guard<std::mutex> session(mSession);
    ERR_clear_error();
    return mSsl != nullptr && SSL_accept(mSsl) == 1;
}

bool ClientSSL::GetCertificate() {
    std::lock_guard<std::mutex> session(mSession);
    X509* certificate = mSsl == nullptr ? nullptr : SSL_get1_peer_certificate(mSsl);
    X509_free(certificate);
    return certificate != nullptr;
}

long ClientSSL::VerifyCertificate() {
    std::lock_guard<std::mutex> session(mSession);
    return mSsl == nullptr ? X509_V_ERR_UNSPECIFIED : SSL_get_verify_result(mSsl);
}

SSL* ClientSSL::Open(String& error) {
    if (!mSocket.Open(mEndPoint)) {
        error = Net::GetError();
        return nullptr;
    }
    SSL* ssl = mContext == nullptr ? nullptr : SSL_new(mContext);
    if (ssl == nullptr) {
        error = kHandshakeFailed;
        return nullptr;
    }
    if (mServerName.Length() > 0) {
        SSL_set_tlsext_host_name(ssl, const_cast<char*>(mServerName.CStr()));
    }
    SSL_set_fd(ssl, mSocket.GetSocket());
    int result = 0;
    int saved = 0;
    int kind = SSL_ERROR_NONE;
    // On the blocking socket the handshake asks to be called again only when a signal cut
    // a read or write short.
    do {
        ERR_clear_error();
        result = SSL_connect(ssl);
        saved = errno;
        kind = result == 1 ? SSL_ERROR_NONE : SSL_get_error(ssl, result);
    } while (kind == SSL_ERROR_WANT_READ || kind == SSL_ERROR_WANT_WRITE);
    if (result == 1) {
        return ssl;
    }
    error = FailureText(ssl, result, saved);
    SSL_free(ssl);
    return nullptr;
}

void ClientSSL::ReceiveLoop() {
    char buffer[kReceiveSize];
    while (GetThreadState() != 0 && mSocket.IsConnected()) {
        int result = 0;
        int kind = SSL_ERROR_NONE;
        {
            std::lock_guard<std::mutex> session(mSession);
            if (mSsl == nullptr) {
                return;
            }
            ERR_clear_error();
            result = SSL_read(mSsl, buffer, sizeof buffer);
            if (result <= 0) {
                kind = SSL_get_error(mSsl, result);
            }
            if (kind == SSL_ERROR_SYSCALL || kind == SSL_ERROR_SSL) {
                // The session is dead: shutting it down now is not allowed.
                SSL_free(mSsl);
                mSsl = nullptr;
                return;
            }
        }
        if (result > 0) {
            OnReceiveMessage.Raise(this, buffer, result);
        } else if (!((kind == SSL_ERROR_WANT_READ && Wait(POLLIN, -1)) ||
                     (kind == SSL_ERROR_WANT_WRITE && Wait(POLLOUT, -1)))) {
            return;
        }
    }
}

bool ClientSSL::Wait(short events, int timeout) {
    pollfd socket{mSocket.GetSocket(), events, 0};
    if (socket.fd < 0) {
        return false;
    }
    const int ready = Uninterrupted([&] { return poll(&socket, 1, timeout); });
    return ready >= 0 && (socket.revents & POLLNVAL) == 0;
}

}  // namespace System::Net
