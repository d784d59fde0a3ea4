#pragma once

#include <chrono>
#include <cstddef>
#include <list>
#include <mutex>

#include "System/Net/Poller.h"
#include "System/Net/Socket.h"
#include "System/Threading/Thread.h"
#include "System/Threading/WakeEvent.h"

namespace System::Net {

// Closes connections whose last bytes have been sent so that the close reaches the peer
// as an end of stream, not as a reset: a socket closed with the peer's bytes unread
// resets the connection, and a reset may destroy what the peer has not read yet. A
// connection handed over has its sending side ended at once; it is then read, and what
// it brings dropped, until the peer closes, the connection fails or its linger time has
// passed, and only then closed. One thread watches every connection at once, so a peer
// that stays silent holds up no one else.
//
// Add may be called from any thread. Start, Stop and the destructor follow Thread.
class SocketDrainer : public Threading::Thread {
  public:
    using Clock = std::chrono::steady_clock;

    // Holds at most capacity connections, past which the oldest is closed at once, each
    // for linger at most from the moment it is added.
    SocketDrainer(size_t capacity, std::chrono::milliseconds linger);
    // Stops the thread, which closes every connection held.
    ~SocketDrainer() override;

    SocketDrainer(const SocketDrainer&) = delete;
    SocketDrainer& operator=(const SocketDrainer&) = delete;

    // Takes a connection whose last bytes have been sent, sharing its descriptor, which
    // is closed as told above. While the thread is not running it is closed at once,
    // after what already waits has been read.
    void Add(const Socket& socket);

    // Reads the connections held and closes those that are done, until stopped; then
    // closes every connection still held.
    void Run() override;

  protected:
    void Wake() override;

  private:
    // One connection being drained.
    struct Connection {
        Connection(const Socket& socket, Clock::time_point deadline)
            : mSocket(socket), mDeadline(deadline) {}

        Socket mSocket;
        Clock::time_point mDeadline;  // closed then at the latest
        bool mReadable{true};         // bytes, the end of stream or an error may wait
    };

    // Moves the connections added since the last turn to mHeld and watches them,
    // closing the oldest held past the capacity.
    void TakeArrivals();
    // Reads the readable connections and closes those whose peer has closed, whose
    // connection has failed or whose time is up. Returns whether bytes may still wait
    // on one of them.
    bool Turn();
    // The wait before the next turn, in milliseconds: none while bytes may wait, until
    // the oldest connection's time is up, or without limit when none is held.
    int WaitTimeout(bool readable) const;
    // Stops watching the connection, reads what waits and closes it.
    void Close(Connection& connection);

    const size_t mCapacity;
    const std::chrono::milliseconds mLinger;
    Poller mPoller;              // the held connections and mWake
    Threading::WakeEvent mWake;  // signalled by Add and Stop
    // Guards mArrivals; no other lock is taken while it is held.
    std::mutex mArrivalsLock;
    std::list<Connection> mArrivals;  // added, not yet taken by the thread; oldest first
    // Watched by the thread, oldest first; touched by the thread only. A list, so that a
    // connection keeps its address, which the poller reports it by.
    std::list<Connection> mHeld;
};

}  // namespace System::Net
