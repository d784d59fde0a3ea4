#pragma once

#include <cstdint>

#include "System/MVC/ICommand.h"
#include "System/Threading/Monitor.h"

namespace ZelvoRelay::MVC::Commands {

// Makes a relay client of an accepted connection under the next free client id, adds
// it to the client collection and hands it to the least-loaded client worker. A client
// that could not have its UDP descriptor outside the reserve kept for the saves is
// closed at once and reported through the relay server's OnClientRefused instead. Runs
// on the accept thread.
class NewRelayClientCommand : public System::MVC::ICommand {
  public:
    explicit NewRelayClientCommand(uint32_t firstClientId = 1) : mNextClientId(firstClientId) {}

    void Execute(System::MVC::EventDispatcher* event) override;

  private:
    uint32_t mNextClientId;  // the next id to try; guarded by mMonitor
    // Serialises the id counter; taken before the client-collection monitor.
    System::Threading::Monitor mMonitor;
};

}  // namespace ZelvoRelay::MVC::Commands
