#include "System/Net/Client.h"

#include "System/Net/Net.h"

#include <cerrno>

namespace System::Net {

Client::Client(NetworkType type) : mType(type) {}

Client::Client(const Socket& accepted, const IPEndPoint& peer)
    : mType(TCP), mEndPoint(peer), mSocket(accepted) {}

Client::Client(const Client& other)
    : Thread(),
      INetwork(),
      mType(other.mType),
      mEndPoint(other.mEndPoint),
      mSocket(other.mSocket) {}

Client& Client::operator=(const Client& other) {
    if (this != &other) {
        mType = other.mType;
        mEndPoint = other.mEndPoint;
        mSocket = other.mSocket;
    }
    return *this;
}

Client::~Client() {
    // The base destructor waits for the body to return, which a loop blocked in
    // recv never would.
    if (GetThreadState() != 0) {
        mSocket.Shutdown();
    }
    Stop(true);
}

void Client::Run() {
    if (!mSocket.IsConnected()) {
        OnConnecting.Raise(this);
        if (!mSocket.Open(mEndPoint)) {
            // Read before Close: its own calls set errno, and every failure would
            // read "Socket is not connected".
            const String error = Net::GetError();
            mSocket.Close();
            OnConnectFailed.Raise(this, error);
            return;
        }
        OnConnect.Raise(this);
    }
    char buffer[kReceiveSize];
    while (GetThreadState() != 0 && mSocket.IsConnected()) {
        const int received = mSocket.Receive(buffer, 0, sizeof buffer);
        if (received <= 0) {
            break;
        }
        OnReceiveMessage.Raise(this, buffer, received);
    }
    mSocket.Close();
    OnDisconnect.Raise(this);
}

bool Client::Connect(const IPEndPoint& endPoint) {
    Disconnect(true);
    mEndPoint = endPoint;
    const int descriptor = CreateSocket(mType);
    if (descriptor < 0) {
        return false;
    }
    mSocket = Socket(descriptor);
    // Start answers 0 on success: passed on as a bool it would report a started
    // connection as a failure and a failure as success.
    if (Start() != 0) {
        mSocket.Close();
        return false;
    }
    return true;
}

void Client::Disconnect(bool) {
    EndLoop(*this, mSocket);
}

int Client::Receive(char* buffer, uint32_t offset, uint32_t length) {
    return mSocket.Receive(buffer, offset, length);
}

int Client::Send(const char* buffer, uint32_t offset, uint32_t length) {
    const int result = mSocket.Send(buffer, offset, length);
    // Callers tell a full buffer (errno 11) from a broken connection after this
    // returns; the handlers must not change what they read.
    const int error = errno;
    OnSendMessage.Raise(this, const_cast<char*>(buffer), static_cast<int>(length), result);
    errno = error;
    return result;
}

int Client::Send(const Socket::Piece* pieces, uint32_t count) {
    const int result = mSocket.Send(pieces, count);
    const int error = errno;
    uint32_t length = 0;
    for (uint32_t i = 0; i < count && i < Socket::kMaxPieces; ++i) {
        length += pieces[i].mLength;
    }
    OnSendMessage.Raise(this, const_cast<char*>(count > 0 ? pieces[0].mData : nullptr),
                        static_cast<int>(length), result);
    errno = error;
    return result;
}

}  // namespace System::Net
