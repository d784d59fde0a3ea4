#pragma once

#include "System/EventManager.h"
#include "System/Net/Client.h"
#include "System/Net/Server.h"
#include "System/String.h"

namespace Silverlight {

// The socket-policy service that browser plug-ins ask before they may open a socket to
// this host: on TCP port 943 it answers every connection with one fixed XML policy,
// whatever the connection sends, and closes it.
class SilverlightPolicyServer : public System::Net::Server {
  public:
    static constexpr unsigned short kPort = 943;

    SilverlightPolicyServer();
    ~SilverlightPolicyServer() override = default;

    SilverlightPolicyServer(const SilverlightPolicyServer&) = delete;
    SilverlightPolicyServer& operator=(const SilverlightPolicyServer&) = delete;

    // Hosts on every local address, port 943; the outcome is told by OnHost or
    // OnHostFailed.
    void Host();

    // The policy: callers from every domain may open TCP sockets to ports 4502-4534.
    // Built on first use, so that no static initialiser depends on another.
    static const System::String& Policy();

  private:
    void OnClientConnected(System::Net::Server* server, System::Net::Client& connection);

    System::EventManager mEvents;  // the subscription to this server's own event
};

}  // namespace Silverlight
