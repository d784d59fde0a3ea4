#pragma once

#include <chrono>
#include <cstddef>

#include "System/EventManager.h"
#include "System/Net/Client.h"
#include "System/Net/Server.h"
#include "System/Net/SocketDrainer.h"
#include "System/String.h"

namespace Silverlight {

// The socket-policy service that browser plug-ins ask before they may open a socket to
// this host: on TCP port 943 it answers every connection with one fixed XML policy,
// whatever the connection sends, and closes it. A connection given a descriptor of the
// reserve kept for the saves takes a lower one, made free by closing a relay connection
// that has not joined when none is (System::IO::DescriptorRoom), and is closed unanswered
// only when nothing could be closed.
class SilverlightPolicyServer : public System::Net::Server {
  public:
    static constexpr unsigned short kPort = 943;
    // How long a connection is read after its policy, at most, so that its close is an
    // end of stream that leaves the policy intact.
    static constexpr std::chrono::milliseconds kDrainTime{100};
    // The most connections held at once after their policy, whether read yet or not;
    // past it the oldest is closed at once. Each holds a descriptor, and a flood of silent
    // connections must not take those the room's own clients need, while 2560 plug-ins a
    // second still get their whole time.
    static constexpr size_t kMaxDraining = 256;

    SilverlightPolicyServer();
    // Disconnects first: the accept thread hands connections to the drainer, which
    // must outlive it.
    ~SilverlightPolicyServer() override;

    SilverlightPolicyServer(const SilverlightPolicyServer&) = delete;
    SilverlightPolicyServer& operator=(const SilverlightPolicyServer&) = delete;

    // Hosts on every local address, port 943; the outcome is told by OnHost or
    // OnHostFailed.
    void Host();

    // The policy: callers from every domain may open TCP sockets to ports 4502-4534.
    // Built on first use, so that no static initialiser depends on another.
    static const System::String& Policy();

  protected:
    // The drainer of the answered connections, whose turns a test may hold up.
    System::Net::SocketDrainer& GetDrainer() { return mDrainer; }

    // Starts the thread that closes the answered connections. When it cannot start,
    // hosting fails with the error text as a port in use does.
    System::String OnHosting() override;

    [[nodiscard]] bool KeepsReserveItself() const override { return true; }

  private:
    void OnClientConnected(System::Net::Server* server, System::Net::Client& connection);
    // Hosting has ended or failed: closes the answered connections still being read.
    void OnDisconnected(System::Net::Server* server);
    void OnHostingFailed(System::Net::Server* server, const System::String& error);

    // Reads each answered connection until its peer closes or kDrainTime has passed,
    // then closes it, so that a silent peer holds up neither the accept loop nor any
    // other connection.
    System::Net::SocketDrainer mDrainer{kMaxDraining, kDrainTime};
    System::EventManager mEvents;  // the subscriptions to this server's own events
};

}  // namespace Silverlight
