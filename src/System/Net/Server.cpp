#include "System/Net/Server.h"

#include "System/IO/DescriptorLimit.h"
#include "System/Net/Net.h"

#include <new>

namespace System::Net {

namespace {

// The pause after a failed accept: a loop that kept failing at once (no descriptors
// left) would otherwise take a whole core.
constexpr unsigned kAcceptRetryMicroseconds = 10000;

}  // namespace

Server::Server(NetworkType type) : mType(type) {}

Server::~Server() {
    Disconnect();
}

void Server::Run() {
    if (mType == TCP) {
        while (GetThreadState() != 0 && mSocket.IsConnected()) {
            IPEndPoint peer;
            const int descriptor = mSocket.Listen(peer);
            if (descriptor < 0) {
                if (mSocket.IsConnected()) {
                    Sleep(kAcceptRetryMicroseconds);
                }
                continue;
            }
            // Kept, enough connections would leave no descriptor for the server's own
            // files, and every save would fail. The number was taken when the accept
            // began to wait, so it may lie in the reserve although a lower one has been
            // freed since: that connection is refused, and the next accept takes the
            // lowest free number again.
            if (IO::DescriptorLimit::IsReserved(descriptor) && !KeepsReserveItself()) {
                Socket(descriptor, true).Close();
                OnClientRefused.Raise(this);
                continue;
            }
            Accept(descriptor, peer);
        }
    } else if (mType == UDP) {
        char buffer[kReceiveSize];
        while (GetThreadState() != 0 && mSocket.IsConnected()) {
            IPEndPoint from;
            const int received = mSocket.Receive(buffer, 0, sizeof buffer, from);
            // A receive woken by Disconnect is no datagram.
            if (!mSocket.IsConnected()) {
                break;
            }
            OnReceiveMessage.Raise(this, buffer, received, from);
        }
    }
    OnHostStopped.Raise(this);
}

void Server::Accept(int descriptor, const IPEndPoint& peer) {
    Client connection(Socket(descriptor, true), peer);
    // A connection that cannot be taken in for want of memory is closed, and the loop
    // accepts the next: uncaught, the failure ended the process, without its closing save.
    try {
        OnClientConnect.Raise(this, connection);
    } catch (const std::bad_alloc&) {
        connection.GetSocket()->Close();
    }
}

void Server::Host(const IPEndPoint& endPoint) {
    Disconnect();
    mEndPoint = endPoint;
    const int descriptor = CreateSocket(mType);
    if (descriptor < 0) {
        OnHostFailed.Raise(this, Net::GetError());
        return;
    }
    mSocket = Socket(descriptor);
    if (!mSocket.Host(endPoint)) {
        // Read before Close, whose own calls change errno.
        const String error = Net::GetError();
        mSocket.Close();
        OnHostFailed.Raise(this, error);
        return;
    }
    // Checked before the thread starts, so that a server that cannot serve never
    // accepts a connection.
    const String refused = OnHosting();
    if (refused.Length() != 0) {
        mSocket.Close();
        OnHostFailed.Raise(this, refused);
        return;
    }
    const int error = Start();
    if (error != 0) {
        // A server without its thread would look hosting and never accept.
        mSocket.Close();
        OnHostFailed.Raise(this, Net::GetError(error));
        return;
    }
    OnHost.Raise(this);
}

void Server::Disconnect() {
    EndLoop(*this, mSocket);
}

int Server::Send(const char* buffer, uint32_t offset, uint32_t length, const IPEndPoint& to) {
    return mSocket.Send(buffer, offset, length, to);
}

}  // namespace System::Net
