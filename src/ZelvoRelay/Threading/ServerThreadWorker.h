#pragma once

#include "System/Net/Poller.h"
#include "System/Threading/Thread.h"
#include "System/Threading/WakeEvent.h"

namespace ZelvoRelay::Threading {

// Reads and discards whatever arrives on the relay's UDP socket, sleeping until a
// datagram arrives or the worker is stopped.
class ServerThreadWorker : public System::Threading::Thread {
  public:
    static constexpr unsigned int kReceiveBufferSize = 4096;

    ServerThreadWorker();
    ~ServerThreadWorker() override = default;

    void Run() override;

  protected:
    void Wake() override;

  private:
    System::Net::Poller mPoller;         // the UDP socket and mWake
    System::Threading::WakeEvent mWake;  // signalled by Stop
};

}  // namespace ZelvoRelay::Threading
