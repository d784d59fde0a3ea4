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
// accepted, and hosting fails when one of them cannot start. When the accept loop ends
// they stop so that nothing a member sent before the stop is lost: the client workers
// read what each connection holds and close it, the message worker handles every
// message so received, the photo worker makes the photo of every upload they completed,
// and the message worker applies the outcomes before it stops, then the server worker.
class RelayServer : public System::Net::Server {
  public:
    // Registers the relay commands with the controller.
    RelayServer();
    // Disconnects (closing the listener and waiting for the accept loop to end, which
    // stops the workers), then unregisters and deletes the relay commands.
    ~RelayServer() override;

    RelayServer(const RelayServer&) = delete;
    RelayServer& operator=(const RelayServer&) = delete;

    using System::Net::Server::Disconnect;
    // Disconnects as Disconnect() does, but once discard() is true (asked before each
    // photo, from any thread) the photos not yet made are discarded instead of made, so
    // that an operator who asks again to stop need not wait for them.
    void Disconnect(bool (*discard)());

    // One non-blocking read of the UDP socket, for the server worker.
    int Receive(char* buffer, uint32_t offset, uint32_t size, System::Net::IPEndPoint& from);
    // The UDP socket, which the server worker waits on.
    System::Net::Socket& GetUdpSocket() { return mUdpSocket; }

    // Raised on the stopping thread as hosting ends, once every message received has
    // been handled, when photos of complete uploads are still to be made: how many the
    // photo worker makes before it stops.
    System::Event<uint32_t> OnMakingPhotos;
    // Raised on the stopping thread when photos were discarded at the stop, as
    // Disconnect(discard) allows: how many.
    System::Event<uint32_t> OnDiscardedPhotos;

  protected:
    // Opens the UDP socket and starts the workers. Returns why a worker could not
    // start, or "" when all of them did.
    System::String OnHosting() override;

  private:
    void OnHostingFailed(System::Net::Server* server, const System::String& error);
    void OnDisconnected(System::Net::Server* server);
    void OnClientConnected(System::Net::Server* server, System::Net::Client& accepted);
    // Waits until the message worker has handled every task queued and every message
    // that a hold on its uploader kept back.
    void HandleReceivedMessages();
    // Says how many photos are still to be made, stops the photo worker, which makes
    // them, and says how many it discarded.
    void MakeWaitingPhotos();
    // Stops every worker group still running, each waited for, in the order client,
    // photo, message, server.
    void StopWorkers();
    // Discards the uploads still in progress and closes the UDP socket.
    void EndHosting();

    System::EventManager mEvents;  // the subscriptions to this server's own events
    // Opened when hosting begins, closed once the workers have stopped, so the server
    // worker never reads it while another thread closes it.
    System::Net::Socket mUdpSocket;
};

}  // namespace ZelvoRelay::Server
