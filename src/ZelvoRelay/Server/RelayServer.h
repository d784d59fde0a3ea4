#pragma once

#include <cstdint>

#include "System/Event.h"
#include "System/EventManager.h"
#include "System/Net/Client.h"
#include "System/Net/IPAddress.h"
#include "System/Net/IPEndPoint.h"
#include "System/Net/Server.h"
#include "System/Net/Socket.h"
#include "System/String.h"
#include "ZelvoRelay/Threading/PhotoFailure.h"

namespace ZelvoRelay::Threading {
class StopDiscard;
}

namespace ZelvoRelay::Server {

// The listening TCP server of the relay protocol. Each accepted connection becomes a
// NewRelayClientEvent, but one from an address that the address table refuses (for
// trying wrong passwords, or for what the notices about its connections took), or that
// holds as many connections that have not joined as it may, which is closed at once.
// While it hosts, a descriptor that would lie in the reserve kept for the saves is made
// room for by closing a connection that has not joined (System::IO::DescriptorRoom). Meanwhile
// a non-blocking UDP socket is open on the same end point (drained by the server worker) and
// the relay workers run: they are started, in the order client, message, server, photo, before the
// first connection is accepted, and hosting fails when one of them cannot start. When the accept
// loop ends (or hosting fails) they stop so that nothing a member sent to be stored is lost, in
// these steps: the client workers stop, so nothing is sent to members any more; what
// each connection's socket holds is read and the connections are closed; the message
// worker handles what those messages and the ones queued before change in what the
// server stores, dropping the answers and relays nobody can receive; the photo worker
// makes the photo of every upload they completed; the message worker applies the
// outcomes as it stops, then the server worker stops.
class RelayServer : public System::Net::Server {
  public:
    // The work of a stop that asking it again discards.
    enum class StopWork {
        Messages,  // received messages not yet handled
        Photos,    // photos of complete uploads not yet made
    };

    // The connections that have not joined one address may hold, or RoomMaxClients if
    // larger: a room's members behind one address connecting at once never meet it, and
    // one party's connections cannot fill what is left for everyone else.
    static constexpr uint32_t kMaxUnjoinedPerAddress = 64;

    // Registers the relay commands with the controller.
    RelayServer();
    // Disconnects (closing the listener and waiting for the accept loop to end, which
    // stops the workers), then unregisters and deletes the relay commands.
    ~RelayServer() override;

    RelayServer(const RelayServer&) = delete;
    RelayServer& operator=(const RelayServer&) = delete;

    using System::Net::Server::Disconnect;
    // Disconnects as Disconnect() does, but once discard() is true (asked before each
    // message to handle and each photo, from any thread) the messages not yet handled
    // and the photos not yet made are discarded, so that an operator who asks again to
    // stop need not wait for them.
    void Disconnect(bool (*discard)());

    // One non-blocking read of the UDP socket, for the server worker.
    int Receive(char* buffer, uint32_t offset, uint32_t size, System::Net::IPEndPoint& from);
    // The UDP socket, which the server worker waits on.
    System::Net::Socket& GetUdpSocket() { return mUdpSocket; }

    // Raised on the stopping thread as hosting ends, once every message received has
    // been handled, when photos of complete uploads are still to be made: how many the
    // photo worker makes before it stops.
    System::Event<uint32_t> OnMakingPhotos;
    // Raised on the stopping thread when work of the stop was discarded, as
    // Disconnect(discard) allows: which work, once the received messages have been
    // handled and again once the photos have been made, and how many pieces.
    System::Event<StopWork, uint32_t> OnDiscarded;
    // Raised on the message worker when an address begins to have its new connections
    // closed at once for trying wrong passwords (Collections::AddressTable): the address,
    // network order.
    System::Event<const System::Net::IPAddress&> OnAddressBlocked;
    // Raised on the message worker when an accepted upload ends without an item, unless its
    // uploader stopped it or left: the uploader's client id, the media id and why.
    System::Event<uint32_t, uint32_t, Threading::PhotoFailure> OnPhotoFailed;
    // Raised on the client worker when an upload ends incomplete as its uploader leaves
    // (its partial file removed): the uploader's name and client id, the media id, the
    // bytes that came and the size announced.
    System::Event<const System::String&, uint32_t, uint32_t, uint64_t, uint64_t> OnUploadLeft;
    // Raised on the message worker, no monitor held, once an upload request is answered:
    // the asking client's id, the media id of its upload when accepted (else 0) and whether
    // it was accepted.
    System::Event<uint32_t, uint32_t, bool> OnUploadAnswered;
    // Raised on the message worker, no monitor held, when an accepted upload ends while its
    // uploader is there: the uploader's client id, the media id and whether it became an
    // item (stopped by its uploader or failed, otherwise).
    System::Event<uint32_t, uint32_t, bool> OnUploadEnded;

  protected:
    // Opens the UDP socket and starts the workers. Returns why a worker could not
    // start, or "" when all of them did.
    System::String OnHosting() override;
    // New connections are kept out of the descriptor reserve by NewRelayClientCommand,
    // which makes room by closing connections that have not joined.
    [[nodiscard]] bool KeepsReserveItself() const override { return true; }

  private:
    void OnHostingFailed(System::Net::Server* server, const System::String& error);
    void OnDisconnected(System::Net::Server* server);
    void OnClientConnected(System::Net::Server* server, System::Net::Client& accepted);
    // Stops the workers, then ends hosting.
    void StopHosting();
    // The stop's steps, in order: stops the client workers, has the message worker end
    // its answers, reads what the connections hold and closes them, handles the messages
    // received, makes the waiting photos, then stops the message and server workers.
    void StopWorkers();
    // Has each stopped client worker read what its clients' sockets hold and close them.
    void ReadWhatClientsSent();
    // Waits until the message worker has handled every task queued and every message
    // that a hold on its uploader kept back, and says how many it discarded.
    void HandleReceivedMessages();
    // Says how many photos are still to be made, stops the photo worker, which makes
    // them, and says how many it discarded.
    void MakeWaitingPhotos();
    // Discards the uploads still in progress and closes the UDP socket.
    void EndHosting();
    // The discard that the worker doing work asks before each piece of it.
    static Threading::StopDiscard& DiscardOf(StopWork work);
    // Raises OnDiscarded when the stop discarded some of work.
    void TellDiscarded(StopWork work);

    System::EventManager mEvents;  // the subscriptions to this server's own events
    // Opened when hosting begins, closed once the workers have stopped, so the server
    // worker never reads it while another thread closes it.
    System::Net::Socket mUdpSocket;
};

}  // namespace ZelvoRelay::Server
