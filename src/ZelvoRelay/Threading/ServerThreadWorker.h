#pragma once

#include "System/Threading/Thread.h"

namespace ZelvoRelay::Threading {

// Reads and discards whatever arrives on the relay's UDP socket, with a pause of one
// microsecond after each non-blocking read.
class ServerThreadWorker : public System::Threading::Thread {
  public:
    static constexpr unsigned int kReceiveBufferSize = 4096;

    ServerThreadWorker() = default;
    ~ServerThreadWorker() override = default;

    void Run() override;
};

}  // namespace ZelvoRelay::Threading
