#pragma once

#include "System/MVC/EventDispatcher.h"
#include "System/Net/Client.h"

namespace ZelvoRelay::MVC::Events {

// A connection accepted by the relay server; its command makes a relay client of it.
class NewRelayClientEvent : public System::MVC::EventDispatcher {
  public:
    explicit NewRelayClientEvent(System::Net::Client& connection)
        : EventDispatcher("NewRelayClientEvent"), mConnection(connection) {}

    // The accept thread's temporary connection; the command copies it.
    System::Net::Client& mConnection;
};

}  // namespace ZelvoRelay::MVC::Events
