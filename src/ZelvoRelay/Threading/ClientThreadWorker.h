#pragma once

#include <atomic>
#include <cstdint>

#include "System/Collections/Vector.h"
#include "System/Threading/Thread.h"
#include "System/Threading/ThreadProperty.h"

namespace ZelvoRelay::Client {
class RelayClient;
}

namespace ZelvoRelay::Threading {

// Polls every client it serves: one non-blocking receive and one send attempt per
// client per pass, ten passes back to back, then a pause of one microsecond. A client
// found closed at its turn is removed (RemoveRelayClientEvent) and dropped from the
// list. When stopped, it closes the connections of the clients it still serves.
class ClientThreadWorker : public System::Threading::Thread {
  public:
    static constexpr int kPasses = 10;
    static constexpr uint32_t kReceiveBufferSize = 16384;

    ClientThreadWorker() = default;
    ~ClientThreadWorker() override = default;

    // Appends client to the list; waits at most one pass for the list's monitor.
    void Add(Client::RelayClient* client);
    // The number of clients served, read without the lock (to pick a worker).
    [[nodiscard]] unsigned int GetNumClient() const { return mNumClients.load(); }

    void Run() override;

  private:
    void Pass(char* buffer);

    // The clients served, in the order they were added; not owned. Its monitor is held
    // for a whole pass and comes first in the relay's lock order.
    System::Threading::ThreadProperty<System::Collections::Vector<Client::RelayClient*>>
        mClientList;
    std::atomic<uint32_t> mNumClients{0};  // mirrors the list's count for GetNumClient
};

}  // namespace ZelvoRelay::Threading
