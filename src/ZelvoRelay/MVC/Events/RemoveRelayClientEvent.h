#pragma once

#include "System/MVC/EventDispatcher.h"

namespace ZelvoRelay::Client {
class RelayClient;
}

namespace ZelvoRelay::MVC::Events {

// A client whose connection has closed; its command removes and deletes it.
class RemoveRelayClientEvent : public System::MVC::EventDispatcher {
  public:
    explicit RemoveRelayClientEvent(Client::RelayClient* client)
        : EventDispatcher("RemoveRelayClientEvent"), mClient(client) {}

    Client::RelayClient* mClient;
};

}  // namespace ZelvoRelay::MVC::Events
