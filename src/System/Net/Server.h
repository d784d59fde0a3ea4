#pragma once

#include <cstdint>

#include "System/Event.h"
#include "System/Net/Client.h"
#include "System/Net/INetwork.h"
#include "System/Net/IPEndPoint.h"
#include "System/Net/Socket.h"
#include "System/String.h"
#include "System/Threading/Thread.h"

namespace System::Net {

// One listening (TCP) or datagram (UDP) socket whose accept or receive loop runs on
// a thread of its own. OnHost and OnHostFailed are raised on the thread that calls
// Host; the other events on the server's thread.
//
// Subscribe before Host: the events take no lock.
class Server : public Threading::Thread, public INetwork {
  public:
    // The size of the datagram buffer: no datagram event carries more bytes.
    static constexpr uint32_t kReceiveSize = 4096;

    explicit Server(NetworkType type);
    // Disconnects (waiting for the loop), then releases the events.
    ~Server() override;

    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // The server's thread: accepts connections (TCP) or receives datagrams (UDP)
    // until disconnected, then raises OnHostStopped. On a server that does not keep the
    // reserve itself, a connection given a descriptor of the reserve (IO::DescriptorLimit)
    // is closed at once and raises OnClientRefused instead of OnClientConnect; the
    // program's servers, relay and policy, both keep it themselves.
    void Run() override;
    // Disconnects, makes a new socket of the type, binds it to endPoint (network
    // order) and listens, readies the rest of the server (OnHosting), starts the
    // thread and raises OnHost. On failure raises OnHostFailed with the error text;
    // the socket is closed and Host may be called again.
    virtual void Host(const IPEndPoint& endPoint);
    // Stops hosting: wakes the loop, waits until it has ended (except on the server's
    // own thread, from an event handler), then releases the socket.
    virtual void Disconnect();
    // Sends one datagram to an end point in network order; what sendto returns.
    virtual int Send(const char* buffer, uint32_t offset, uint32_t length, const IPEndPoint& to);

    // True from a successful Host until Disconnect.
    [[nodiscard]] bool IsHosting() const { return mSocket.IsConnected(); }
    Socket* GetSocket() { return &mSocket; }
    // The end point given to the last Host, network order.
    [[nodiscard]] IPEndPoint GetEndPoint() const { return mEndPoint; }

    // Hosting has started (on the caller of Host).
    Event<Server*> OnHost;
    // Hosting could not start: the error text (on the caller of Host).
    Event<Server*, const String&> OnHostFailed;
    // A connection was accepted: a temporary Client around it, which does not close
    // it when destroyed. A handler that keeps the connection copies the Client.
    Event<Server*, Client&> OnClientConnect;
    // A connection was closed at once by the accept loop to keep the descriptors reserved
    // for the saves; raised only on a server that does not keep the reserve itself, so
    // never on the program's relay and policy servers.
    Event<Server*> OnClientRefused;
    // The loop has ended; raised once per successful Host.
    Event<Server*> OnHostStopped;
    // A datagram or a failed receive: (this, buffer, result, sender in network order).
    Event<Server*, char*, int, const IPEndPoint&> OnReceiveMessage;

  protected:
    // Called by Host once the socket is bound, before the thread starts: readies what
    // else the server needs in order to serve. Returns "" when it is ready, else why
    // not, and hosting then fails with that text. The base needs nothing.
    virtual String OnHosting() { return String(); }
    // Whether OnClientConnect is raised for a connection given a descriptor of the
    // reserve too, its handler keeping the reserve in its own way (making room by closing
    // a relay connection that has not joined); the base refuses it in the loop. Both of the
    // program's servers, relay and policy, keep it themselves.
    [[nodiscard]] virtual bool KeepsReserveItself() const { return false; }

    NetworkType mType;     // the kind of socket Host makes
    IPEndPoint mEndPoint;  // the one given to Host, network order
    Socket mSocket;        // listening or datagram socket; see Socket for its threads

  private:
    // Raises OnClientConnect for the accepted descriptor; closes it when that fails for want
    // of memory. A handler that has taken the connection keeps such a failure to itself.
    void Accept(int descriptor, const IPEndPoint& peer);
};

}  // namespace System::Net
