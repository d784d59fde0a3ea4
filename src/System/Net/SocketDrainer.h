#pragma once

#include <chrono>
#include <condition_variable>
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
// Add may be called from any thread. Start, Stop and the destructor follow Thread. The
// thread takes each turn (its reads, and its closes when a peer is done or a time is up)
// under its monitor, so that whoever holds the monitor holds the turns up and only the
// capacity closes a connection meanwhile.
// REQUIRES: the monitor is not held across Stop or the destructor, which wait for the
// thread.
class SocketDrainer : public Threading::Thread {
  public:
    using Clock = std::chrono::steady_clock;

    // Holds at most capacity connections in all, past which the oldest is closed at once,
    // each for linger at most from the moment it is added.
    SocketDrainer(size_t capacity, std::chrono::milliseconds linger);
    // Stops the thread, which closes every connection held.
    ~SocketDrainer() override;

    SocketDrainer(const SocketDrainer&) = delete;
    SocketDrainer& operator=(const SocketDrainer&) = delete;

    // Takes a connection whose last bytes have been sent, sharing its descriptor, which
    // is closed as told above. While the thread is not running, or when the connection
    // cannot be watched, it is closed at once, after what already waits has been read.
    // Past the capacity the oldest is closed before Add returns, which waits at most for
    // the thread's read of that one.
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
        // Bytes, the end of stream or an error may wait; touched by the thread only.
        bool mReadable{true};
    };

    // Marks the connections the poller reported as readable.
    void TakeReports(const Poller::Ready* ready, int count);
    // Reads the readable connections and closes those whose peer has closed, whose
    // connection has failed or whose time is up. Returns whether bytes may still wait
    // on one of them.
    bool Turn();
    // Reads the connection if it is readable and closes it if it is done as of now.
    // Returns whether it was closed.
    bool Serve(Connection& connection, Clock::time_point now);
    // The wait before the next turn, in milliseconds: none while bytes may wait, until
    // the oldest connection's time is up, or without limit when none is held.
    int WaitTimeout(bool readable);
    // Stops watching the connection, reads what waits and closes it.
    void Close(Connection& connection);

    const size_t mCapacity;
    const std::chrono::milliseconds mLinger;
    // The held connections' descriptors and mWake's, each reported by its descriptor:
    // a report that comes after its connection has been let go finds no connection by
    // that number, or a newer one that merely reads once for nothing.
    Poller mPoller;
    Threading::WakeEvent mWake;  // signalled by Add and Stop
    // Guards mHeld and mReading. Taken after the monitor, never before it. The thread
    // reads and closes connections without it, so Add, on an accept thread, waits for
    // no read but that of the connection it must close.
    std::mutex mLock;
    // Signalled when the thread is done with mReading.
    std::condition_variable mReadEnded;
    // Every connection held, oldest first, whether the thread has read it yet or not:
    // Add closes the front past the capacity, so that no more descriptors are ever
    // held than the capacity. A list, so that the connection the thread works on, and
    // its place, outlive Add's closes of others.
    std::list<Connection> mHeld;
    // The connection the thread reads or closes without the lock, which Add must leave
    // to it.
    const Connection* mReading{nullptr};
};

}  // namespace System::Net
