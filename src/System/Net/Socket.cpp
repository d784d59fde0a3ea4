#include "System/Net/Socket.h"

#include "System/IO/DescriptorLimit.h"
#include "System/Uninterrupted.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace System::Net {

namespace {

IPEndPoint ToEndPoint(const sockaddr_in& address) {
    return IPEndPoint(static_cast<uint32_t>(address.sin_addr.s_addr), address.sin_port);
}

// The end point that query (getsockname or getpeername) gives, or the empty one.
IPEndPoint QueryEndPoint(int descriptor, int (*query)(int, sockaddr*, socklen_t*)) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (query(descriptor, reinterpret_cast<sockaddr*>(&address), &size) == -1) {
        return IPEndPoint();
    }
    return ToEndPoint(address);
}

// The platform's address for endPoint. An end point without an address gives false
// with errno EAFNOSUPPORT: without it the caller would read an error left by some
// earlier call.
bool ToSocketAddress(const IPEndPoint& endPoint, sockaddr_storage& address, uint32_t& length) {
    if (Socket::EndPointToSocketAddress(endPoint, &address, &address, length) == nullptr) {
        errno = EAFNOSUPPORT;
        return false;
    }
    return true;
}

// Waits until the connect that a signal interrupted on descriptor, which goes on, ends;
// whether it succeeded, errno set otherwise.
bool ConnectEnded(int descriptor) {
    pollfd socket{descriptor, POLLOUT, 0};
    if (Uninterrupted([&] { return poll(&socket, 1, -1); }) < 0) {
        return false;
    }
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(descriptor, SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
        return false;
    }
    errno = error;
    return error == 0;
}

}  // namespace

// A short queue drops the connects beyond it while the accept thread is busy, and each
// dropped one waits a second or more for its SYN to be sent again: a room's members
// reconnecting together after a restart would stall with the server idle.
const int32_t Socket::kBacklog = SOMAXCONN;

Socket::Socket(int descriptor) : mDescriptor(descriptor), mBacklog(kBacklog) {}

Socket::Socket(int descriptor, bool connected)
    : mDescriptor(descriptor), mBacklog(kBacklog), mConnected(connected) {}

Socket::Socket(const Socket& other)
    : Object(),
      mDescriptor(other.mDescriptor.load()),
      mBacklog(other.mBacklog),
      mConnected(other.mConnected.load()) {}

Socket& Socket::operator=(const Socket& other) {
    if (this != &other) {
        Close();
        mDescriptor = other.mDescriptor.load();
        mBacklog = other.mBacklog;
        mConnected = other.mConnected.load();
    }
    return *this;
}

bool Socket::Open(const IPEndPoint& endPoint) {
    mEndPoint = endPoint;
    sockaddr_storage address;
    uint32_t length = 0;
    if (!ToSocketAddress(endPoint, address, length)) {
        return false;
    }
    if (connect(GetSocket(), reinterpret_cast<sockaddr*>(&address), length) == -1 &&
        (errno != EINTR || !ConnectEnded(GetSocket()))) {
        return false;
    }
    mConnected = true;
    return true;
}

bool Socket::Host(const IPEndPoint& endPoint) {
    mEndPoint = endPoint;
    sockaddr_storage address;
    uint32_t length = 0;
    if (!ToSocketAddress(endPoint, address, length)) {
        return false;
    }
    int type = 0;
    const bool stream = GetOption(SOL_SOCKET, SO_TYPE, type) && type == SOCK_STREAM;
    if (stream) {
        // Without it a restarted server cannot listen for about a minute while the
        // connections it had are in TIME_WAIT.
        SetOption(SOL_SOCKET, SO_REUSEADDR, 1);
    }
    if (bind(GetSocket(), reinterpret_cast<sockaddr*>(&address), length) == -1) {
        return false;
    }
    // A datagram socket is only bound. A stream socket that cannot listen would look
    // hosting and never accept anyone.
    if (stream && listen(GetSocket(), mBacklog) == -1) {
        return false;
    }
    mConnected = true;
    return true;
}

int Socket::Listen(IPEndPoint& peer) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    const int descriptor = Uninterrupted([&] {
        return accept4(GetSocket(), reinterpret_cast<sockaddr*>(&address), &size, SOCK_CLOEXEC);
    });
    peer = descriptor >= 0 && address.sin_family == AF_INET ? ToEndPoint(address) : IPEndPoint();
    return descriptor;
}

void Socket::Close() {
    std::lock_guard<std::mutex> lock(mRelease);
    mConnected = false;
    const int descriptor = mDescriptor.exchange(-1);
    if (descriptor >= 0) {
        // SHUT_RDWR wakes a thread blocked in accept or recv on this socket; SHUT_WR
        // and close alone do not, and that thread would never end.
        shutdown(descriptor, SHUT_RDWR);
        close(descriptor);
    }
}

void Socket::Shutdown() {
    std::lock_guard<std::mutex> lock(mRelease);
    mConnected = false;
    const int descriptor = mDescriptor.load();
    if (descriptor >= 0) {
        shutdown(descriptor, SHUT_RDWR);
    }
}

void Socket::TakeLowestNumber() {
    std::lock_guard<std::mutex> lock(mRelease);
    const int descriptor = mDescriptor.load();
    if (descriptor < 0) {
        return;
    }
    const int lowest = fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    if (lowest < 0) {
        return;
    }
    if (lowest < descriptor) {
        mDescriptor = lowest;
        close(descriptor);
    } else {
        close(lowest);
    }
}

bool Socket::LeaveReserve(IO::DescriptorRoom::Use use) {
    while (IO::DescriptorLimit::IsReserved(GetSocket())) {
        TakeLowestNumber();
        if (IO::DescriptorLimit::IsReserved(GetSocket()) && !IO::DescriptorRoom::Make(use)) {
            return false;
        }
    }
    return true;
}

void Socket::ShutdownSend() {
    std::lock_guard<std::mutex> lock(mRelease);
    const int descriptor = mDescriptor.load();
    if (descriptor >= 0) {
        shutdown(descriptor, SHUT_WR);
    }
}

int Socket::Send(const char* buffer, uint32_t offset, uint32_t length) {
    return static_cast<int>(
        Uninterrupted([&] { return send(GetSocket(), buffer + offset, length, MSG_NOSIGNAL); }));
}

int Socket::Send(const Piece* pieces, uint32_t count) {
    // The pieces are only read: iovec merely lacks the const.
    iovec vectors[kMaxPieces];
    count = count < kMaxPieces ? count : kMaxPieces;
    for (uint32_t i = 0; i < count; ++i) {
        vectors[i].iov_base = const_cast<char*>(pieces[i].mData);
        vectors[i].iov_len = pieces[i].mLength;
    }
    msghdr message{};
    message.msg_iov = vectors;
    message.msg_iovlen = count;
    return static_cast<int>(
        Uninterrupted([&] { return sendmsg(GetSocket(), &message, MSG_NOSIGNAL); }));
}

int Socket::Send(const char* buffer, uint32_t offset, uint32_t length, const IPEndPoint& to) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = to.GetAddress().GetAddress();
    address.sin_port = to.GetPort();
    return static_cast<int>(Uninterrupted([&] {
        return sendto(GetSocket(), buffer + offset, length, MSG_NOSIGNAL,
                      reinterpret_cast<sockaddr*>(&address), sizeof address);
    }));
}

int Socket::Receive(char* buffer, uint32_t offset, uint32_t length) {
    return static_cast<int>(
        Uninterrupted([&] { return recv(GetSocket(), buffer + offset, length, 0); }));
}

int Socket::Receive(char* buffer, uint32_t offset, uint32_t length, IPEndPoint& from) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    const int result = static_cast<int>(Uninterrupted([&] {
        return recvfrom(GetSocket(), buffer + offset, length, 0,
                        reinterpret_cast<sockaddr*>(&address), &size);
    }));
    const int error = errno;
    from = ToEndPoint(address);
    errno = error;
    return result;
}

bool Socket::EnableBlocking(bool blocking) {
    return SetIOControl(FIONBIO, blocking ? 0 : 1);
}

bool Socket::GetOption(int level, int name, int& value) const {
    socklen_t size = sizeof value;
    return getsockopt(GetSocket(), level, name, &value, &size) != -1;
}

bool Socket::SetOption(int level, int name, int value) {
    return setsockopt(GetSocket(), level, name, &value, sizeof value) != -1;
}

bool Socket::SetNoDelay(bool noDelay) {
    return SetOption(IPPROTO_TCP, TCP_NODELAY, noDelay ? 1 : 0);
}

bool Socket::LimitUnsent(uint32_t bytes) {
    return SetOption(IPPROTO_TCP, TCP_NOTSENT_LOWAT, static_cast<int>(bytes));
}

bool Socket::SetIOControl(int request, unsigned long value) {
    // The requests used (FIONBIO) read an int; an unsigned long is 8 bytes here.
    int argument = static_cast<int>(value);
    return ioctl(GetSocket(), static_cast<unsigned long>(request), &argument) != -1;
}

uint32_t Socket::Available() const {
    int waiting = 0;
    return ioctl(GetSocket(), FIONREAD, &waiting) != -1 && waiting > 0
               ? static_cast<uint32_t>(waiting)
               : 0;
}

IPEndPoint Socket::GetLocalEndPoint() const {
    return QueryEndPoint(GetSocket(), getsockname);
}

IPEndPoint Socket::GetRemoteEndPoint() const {
    return QueryEndPoint(GetSocket(), getpeername);
}

void* Socket::EndPointToSocketAddress(const IPEndPoint& endPoint, void* address4, void* address6,
                                      uint32_t& length) {
    const IPAddress address = endPoint.GetAddress();
    if (address.GetAddressFamily() == IPAddress::kIPv4) {
        sockaddr_in result{};
        result.sin_family = AF_INET;
        std::memcpy(&result.sin_addr, address.GetAddressBytes(), 4);
        result.sin_port = endPoint.GetPort();
        std::memcpy(address4, &result, sizeof result);
        length = sizeof result;
        return address4;
    }
    if (address.GetAddressFamily() == IPAddress::kIPv6) {
        sockaddr_in6 result{};
        result.sin6_family = AF_INET6;
        std::memcpy(&result.sin6_addr, address.GetAddressBytes(), 16);
        result.sin6_port = endPoint.GetPort();
        std::memcpy(address6, &result, sizeof result);
        length = sizeof result;
        return address6;
    }
    return nullptr;
}

Collections::Vector<IPAddress> Socket::DnsLookup(const String& host) {
    return DnsLookup(host, IPAddress::kNone);
}

Collections::Vector<IPAddress> Socket::DnsLookup(const String& host, int32_t family) {
    Collections::Vector<IPAddress> found;
    if (host.Length() == 0) {
        return found;
    }
    // One socket type, so that each address is listed once rather than once per type;
    // the order of the addresses stays the resolver's.
    addrinfo hints{};
    hints.ai_family = family == IPAddress::kIPv4 ? AF_INET : AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(host.CStr(), nullptr, &hints, &list) != 0) {
        return found;
    }
    for (const addrinfo* record = list; record != nullptr; record = record->ai_next) {
        if (record->ai_family == AF_INET) {
            const auto* address = reinterpret_cast<const sockaddr_in*>(record->ai_addr);
            found.Add(IPAddress(reinterpret_cast<const unsigned char*>(&address->sin_addr), 4));
        } else if (record->ai_family == AF_INET6) {
            const auto* address = reinterpret_cast<const sockaddr_in6*>(record->ai_addr);
            found.Add(IPAddress(reinterpret_cast<const unsigned char*>(&address->sin6_addr), 16));
        }
    }
    freeaddrinfo(list);
    return found;
}

String Socket::GetHostName() {
    char name[256]{};
    // gethostname may leave a truncated name without its terminating zero.
    gethostname(name, sizeof name - 1);
    return String(name);
}

}  // namespace System::Net
