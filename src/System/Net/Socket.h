#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "System/Collections/Vector.h"
#include "System/IO/DescriptorRoom.h"
#include "System/Net/IPAddress.h"
#include "System/Net/IPEndPoint.h"
#include "System/Object.h"
#include "System/String.h"

namespace System::Net {

// A thin holder of one socket descriptor. Failures answer false, a negative count or
// an empty value, with errno left as the failing call set it (Net::GetError).
//
// Copies share the descriptor and nothing else; destroying a Socket never closes it,
// only Close (or assigning over it) does. One thread uses a Socket at a time, except
// that another thread may Shutdown or Close it to end a blocking Listen, Open or
// Receive on the owning thread. The descriptor is -1 when there is none.
class Socket : public Object {
  public:
    // The listen backlog of sockets built around a descriptor: the system's largest
    // (SOMAXCONN), which the kernel further caps at net.core.somaxconn.
    static const int32_t kBacklog;
    // The most pieces one gathered Send passes on; the rest wait for the next call.
    static constexpr uint32_t kMaxPieces = 64;

    // No descriptor, backlog 0, not connected.
    Socket() = default;
    // Around a descriptor from SocketType: backlog kBacklog, not connected.
    explicit Socket(int descriptor);
    // Around a descriptor whose connection is already open (an accepted one) or not.
    Socket(int descriptor, bool connected);
    // Shares the descriptor, backlog and connected flag; the end point stays empty.
    Socket(const Socket& other);
    // Closes this socket's own descriptor first, then shares as the copy does.
    Socket& operator=(const Socket& other);
    // Leaves the descriptor open.
    ~Socket() override = default;

    // Connects to endPoint (network order), which is kept as the end point. False
    // when it has no address (errno EAFNOSUPPORT) or connect fails.
    bool Open(const IPEndPoint& endPoint);
    // Binds to endPoint (network order), which is kept, and listens with the backlog.
    // Stream sockets may bind a port whose old connections are still closing
    // (SO_REUSEADDR), so a restart can listen again at once; a port that a live socket
    // holds still fails. Datagram sockets are only bound. False when it has no address
    // or bind or listen fails.
    bool Host(const IPEndPoint& endPoint);
    // Accepts a connection: its new descriptor, or a negative value. peer is the address
    // accept gave for it (network order), empty on failure: a peer that resets at once
    // has no address left to ask afterwards.
    int Listen(IPEndPoint& peer);
    // Ends the connection for both directions, which wakes a thread blocked on the
    // socket, and releases the descriptor. Harmless when there is none.
    void Close();
    // Ends the connection for both directions and wakes a thread blocked on the
    // socket (Listen, Open, Receive), keeping the descriptor until Close, so that it
    // cannot be reused under that thread. Not connected afterwards.
    void Shutdown();
    // Moves the descriptor to the lowest free number when that is lower than its own,
    // releasing the old number; the socket stays as it was. Only for a socket that no
    // other thread uses yet: it would go on with the old number.
    void TakeLowestNumber();
    // Moves the descriptor out of the reserve kept for the saves (IO::DescriptorLimit) when
    // it lies there: to the lowest free number, made free for use by closing something that
    // gives way (IO::DescriptorRoom) when no lower one is. False when it still lies there,
    // nothing being left to close. Only for a socket that no other thread uses yet.
    [[nodiscard]] bool LeaveReserve(IO::DescriptorRoom::Use use);
    // Ends the sending direction only: the peer reads the end of what was sent, while
    // this side still receives until the peer closes in turn. A server that closed
    // with the peer's bytes unread would reset the connection, and a reset may
    // destroy what the peer has not read yet.
    void ShutdownSend();

    // Sends length bytes from buffer + offset; a peer that has gone gives an error,
    // never a signal. Returns what send returns.
    int Send(const char* buffer, uint32_t offset, uint32_t length);
    // One piece of a gathered send: length bytes at data.
    struct Piece {
        const char* mData{nullptr};
        uint32_t mLength{0};
    };
    // Sends count pieces (at most kMaxPieces), in order, in one call, as far as the
    // socket takes them; returns the bytes taken or what sendmsg returns. Like Send, never a
    // signal.
    int Send(const Piece* pieces, uint32_t count);
    // Sends one datagram to an IPv4 end point in network order.
    int Send(const char* buffer, uint32_t offset, uint32_t length, const IPEndPoint& to);
    // Receives at most length bytes into buffer + offset; returns what recv returns.
    int Receive(char* buffer, uint32_t offset, uint32_t length);
    // Receives one datagram; from is its sender in network order.
    int Receive(char* buffer, uint32_t offset, uint32_t length, IPEndPoint& from);
    // The bytes received and not yet read (FIONREAD); 0 when none or on failure.
    [[nodiscard]] uint32_t Available() const;

    // Blocking or non-blocking mode (FIONBIO).
    bool EnableBlocking(bool blocking);
    bool GetOption(int level, int name, int& value) const;
    bool SetOption(int level, int name, int value);
    bool SetIOControl(int request, unsigned long value);
    // Sends small writes at once instead of holding them back until earlier data is
    // acknowledged (TCP_NODELAY).
    bool SetNoDelay(bool noDelay);
    // Takes no more bytes to send while more than bytes of those taken are not yet sent,
    // and reports the socket writable only below that (TCP_NOTSENT_LOWAT); bytes sent and
    // awaiting acknowledgement do not count.
    bool LimitUnsent(uint32_t bytes);

    [[nodiscard]] int GetSocket() const { return mDescriptor.load(); }
    [[nodiscard]] bool IsConnected() const { return mConnected.load(); }
    // The end point last given to Open or Host.
    [[nodiscard]] IPEndPoint GetEndPoint() const { return mEndPoint; }
    // This side's and the peer's IPv4 end points in network order; empty on failure.
    [[nodiscard]] IPEndPoint GetLocalEndPoint() const;
    [[nodiscard]] IPEndPoint GetRemoteEndPoint() const;

    // The platform's socket address for endPoint, written to address4 (16 bytes,
    // IPv4) or address6 (28 bytes, IPv6) with its size in length; null for an end
    // point without an address.
    static void* EndPointToSocketAddress(const IPEndPoint& endPoint, void* address4, void* address6,
                                         uint32_t& length);

    // The addresses of host in the resolver's order, in network order; empty when
    // host is empty or has none. With family IPAddress::kIPv4 only IPv4 answers.
    static Collections::Vector<IPAddress> DnsLookup(const String& host);
    static Collections::Vector<IPAddress> DnsLookup(const String& host, int32_t family);
    // Reverse lookups are not made: always "".
    static String RdnsLookup(const String&) { return ""; }
    static String GetHostName();

  private:
    std::atomic<int> mDescriptor{-1};     // -1 when there is none
    int32_t mBacklog{0};                  // listen backlog
    std::atomic<bool> mConnected{false};  // open (connected, listening or accepted)
    IPEndPoint mEndPoint;                 // last given to Open or Host
    // Held while the descriptor is shut down or released, so that a Shutdown from
    // another thread never reaches a number that Close has already given back.
    std::mutex mRelease;
};

}  // namespace System::Net
