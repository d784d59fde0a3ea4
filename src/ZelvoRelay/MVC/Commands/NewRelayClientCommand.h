#pragma once

#include <cstdint>

#include "System/MVC/ICommand.h"
#include "System/Threading/Monitor.h"

namespace ZelvoRelay::MVC::Commands {

// Makes a relay client of an accepted connection under the next free client id, adds
// it to the client collection and hands it to the least-loaded client worker. Its TCP and
// UDP descriptors are kept out of the reserve kept for the saves: where they would lie in
// it, connections that have not joined are closed to make room (System::IO::DescriptorRoom).
// Only when none is left is the new one closed at once instead. Runs on the accept thread.
class NewRelayClientCommand : public System::MVC::ICommand {
  public:
    explicit NewRelayClientCommand(uint32_t firstClientId = 1) : mNextClientId(firstClientId) {}

    void Execute(System::MVC::EventDispatcher* event) override;

  private:
    uint32_t mNextClientId;  // the next id to try; guarded by mMonitor
    // Serialises the id counter; taken before the client workers' list monitors and the
    // client-collection monitor.
    System::Threading::Monitor mMonitor;
};

}  // namespace ZelvoRelay::MVC::Commands
