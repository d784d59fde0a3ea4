#pragma once

#include <cstdint>

#include "System/Event.h"
#include "System/EventManager.h"
#include "System/Net/Client.h"
#include "System/Net/IPEndPoint.h"
#include "System/Net/Server.h"
#include "System/Net/Socket.h"
#include "System/String.h"

namespace ZelvoRelay::Server {

// The listening TCP server of the relay protocol. Each accepted connection becomes a
// NewRelayClientEvent. While it hosts, a non-blocking UDP socket is open on the same
// end point (drained by the server worker) and the relay workers run: they are
// started, in the order client, message, server, photo, before the first connection is
// accepted, and hosting fails when one of them cannot start. They are stopped, each
// waited for, when the accept loop ends: the client workers first, then the photo
// worker, so that the photos it has still to make become items as the message worker
// stops, then the message and server workers.
class RelayServer : public System::Net::Server {
  public:
    // Registers the relay commands with the controller.
    RelayServer();
    // Disconnects (closing the listener and waiting for the accept loop to end, which
    // stops the workers), then unregisters and deletes the relay commands.
    ~RelayServer() override;

    RelayServer(const RelayServer&) = delete;
    RelayServer& operator=(const RelayServer&) = delete;

    // One non-blocking read of the UDP socket, for the server worker.
    int Receive(char* buffer, uint32_t offset, uint32_t size, System::Net::IPEndPoint& from);
    // The UDP socket, which the server worker waits on.
    System::Net::Socket& GetUdpSocket() { return mUdpSocket; }

    // Raised on the stopping thread as hosting ends, before the workers stop, when
    // photos of complete uploads are still to be made: how many the photo worker makes
    // before it stops.
    System::Event<uint32_t> OnMakingPhotos;

  protected:
    // Opens the UDP socket and starts the workers. Returns why a worker could not
    // start, or "" when all of them did.
    System::String OnHosting() override;

  private:
    void OnHostingFailed(System::Net::Server* server, const System::String& error);
    void OnDisconnected(System::Net::Server* server);
    void OnClientConnected(System::Net::Server* server, System::Net::Client& accepted);
    // Stops the workers that run, ends the uploads in progress and closes the UDP socket.
    void StopWorkers();

    System::EventManager mEvents;  // the subscriptions to this server's own events
    // Opened when hosting begins, closed once the workers have stopped, so the server
    // worker never reads it while another thread closes it.
    System::Net::Socket mUdpSocket;
};

}  // namespace ZelvoRelay::Server
