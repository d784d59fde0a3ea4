#pragma once

#include "System/Object.h"

namespace System::Net {

// The factory of socket descriptors. Each function returns a new descriptor, or -1
// with errno set. Descriptors are not inherited by programs this process starts.
//
// The first call ignores SIGPIPE for the whole process: the SSL layer writes with
// write(), which unlike send(MSG_NOSIGNAL) would raise it when a peer has gone, and
// its default action ends the process.
class SocketType : public Object {
  public:
    SocketType() = delete;

    [[nodiscard]] static int TCP();
    [[nodiscard]] static int UDP();
    [[nodiscard]] static int RAW();
    [[nodiscard]] static int TCP6();
    [[nodiscard]] static int UDP6();
    [[nodiscard]] static int RAW6();

    // Ignores SIGPIPE for the process, once; every entry to the socket layer calls it.
    static void IgnoreBrokenPipes();
};

}  // namespace System::Net
