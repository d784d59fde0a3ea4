#include "System/Net/INetwork.h"

#include "System/Net/SocketType.h"

namespace System::Net {

int INetwork::CreateSocket(NetworkType type) {
    switch (type) {
        case TCP:
            return SocketType::TCP();
        case UDP:
            return SocketType::UDP();
        default:
            return SocketType::RAW();
    }
}

void INetwork::EndLoop(Threading::Thread& thread, Socket& socket) {
    if (thread.IsCurrentThread()) {
        // The thread is not let go, so that whoever stops or destroys the owner still
        // waits for it.
        socket.Close();
        return;
    }
    // Shut down, wait, then release: closing the descriptor while the thread may still
    // be in accept or recv on it would let a new socket take the number under it.
    socket.Shutdown();
    thread.Stop(true);
    socket.Close();
}

}  // namespace System::Net
