#pragma once

#include "System/Net/Socket.h"
#include "System/Object.h"
#include "System/Threading/Thread.h"

namespace System::Net {

// The second base of Client and Server: the kind of socket they make.
class INetwork : public Object {
  public:
    // TCP makes stream sockets, UDP datagram sockets, any other value raw sockets;
    // all IPv4.
    enum NetworkType { TCP = 0, UDP = 1, RAW = 2 };

    ~INetwork() override = default;

    // A new descriptor of the type (SocketType), or -1 with errno set.
    [[nodiscard]] static int CreateSocket(NetworkType type);

  protected:
    // Ends the loop that thread runs on socket and releases the socket. From another
    // thread the loop is woken and waited for; from the loop's own thread (a handler)
    // it ends when the handler returns.
    static void EndLoop(Threading::Thread& thread, Socket& socket);
};

}  // namespace System::Net
